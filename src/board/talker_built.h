#pragma once

// The talker as the build assembled it (talker_data.cpp, generated from
// data/talker/talker.asm): its image from $0000 and the symbols the host uses.
#include <cstdint>
#include <vector>

namespace kavrel::board::detail {

struct TalkerBuilt {
    std::vector<std::uint8_t> bytes; // from $0000, as the loader takes them
    std::uint16_t first;             // DEBUT: the RAM it keeps, from here...
    std::uint16_t last;              // FIN: ...to here
    std::uint16_t savedSp;           // SAVSP: the stopped program's SP, two bytes
    std::uint16_t baudByte;          // LIGNE: the BAUD value it sets, replaced by the host
};

extern const TalkerBuilt talkerBuiltA;
extern const TalkerBuilt talkerBuiltE;

} // namespace kavrel::board::detail
