// The boards Kavrel ships (data/boards, compiled in), and the board files of
// a folder of the user's.
#pragma once

#include "lab/board_description.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

struct ShippedBoardText {
    const char* key;  // "chip", "evb", "tp", "monopuce": the name sim11 --board takes
    const char* text; // the board file
};
// In the order of their keys.
const std::vector<ShippedBoardText>& shippedBoardTexts();

// The keys in the order a list shows them: the chip alone, the evaluation
// board, then the lab boards.
std::vector<std::string> shippedBoardKeys();

// A shipped board read; null with a French message for a key that is none
// (a shipped board that would not read is a fault of the build, told the same way).
std::optional<BoardDescription> shippedBoard(std::string_view key, std::string& error);

} // namespace lab
