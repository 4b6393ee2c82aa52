#pragma once

// The memory pane's text, without Qt: rows of hexadecimal and characters,
// the chip's registers by name, the addresses and bytes a user types.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sim11/machine.h"

namespace kavrel::simulation {

inline constexpr int kBytesPerRow = 16;
inline constexpr int kRegisterBlockSize = 0x40;

// The character column of one byte: the Windows-1252 character where it can
// be printed, '.' otherwise.
std::string byteChar(std::uint8_t value);

// One row as copied out of the pane: "$1000  41 42 ... 0D  AB..."; the bytes
// that follow `address` in `memory` (wrapping after $FFFF).
std::string hexRow(const std::uint8_t* memory, std::uint16_t address, int count = kBytesPerRow);

// A register of the chip's block, by its offset ($00-$3F).
struct RegisterName {
    const char* name = nullptr; // null for an offset the chip reserves
    // The low byte of a 16-bit register (TCNT at $0F, say); its name is the
    // register's.
    bool lowByte = false;
};
RegisterName registerName(sim11::Chip chip, int offset);

// The offset of a register named so (any case, high byte for a 16-bit one).
std::optional<int> registerOffset(sim11::Chip chip, std::string_view name);

// A byte typed in a cell: hexadecimal ("3F", "$3F", "0x3F"), binary
// ("%00111111"), decimal ("#63") or a character between quotes ("'A'", in
// Windows-1252). Nothing for text that is none of these or above $FF.
std::optional<std::uint8_t> parseByte(std::string_view text);

// An address typed to go to: hexadecimal ("$1000", "1000", "0x1000"), a
// register of the chip ("PORTB", relative to where INIT put them), or a
// symbol of the program; either name may be followed by +n or -n
// (hexadecimal with $, decimal otherwise). Nothing when it names nothing.
using SymbolLookup = std::function<std::optional<std::uint16_t>(std::string_view)>;
std::optional<std::uint16_t> parseAddress(std::string_view text, const SymbolLookup& symbols,
                                          sim11::Chip chip, std::uint16_t registerBase);

} // namespace kavrel::simulation
