// The boards Kavrel ships (data/boards, compiled in), and the board files of
// a folder of the user's.
#pragma once

#include "lab/board_spec.h"

#include <string>
#include <vector>

namespace lab {

struct ShippedBoardText {
    const char* key;  // "chip", "evb", "tp", "monopuce": the name sim11 --board takes
    const char* text; // the board file
};
const std::vector<ShippedBoardText>& shippedBoardTexts();

} // namespace lab
