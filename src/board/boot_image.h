#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What is sent to a 68HC11 in bootstrap mode: the program bytes of a .BOO
// file, checked against the RAM of the chip's family.
namespace kavrel::board {

// The loaders differ by family. A (A0, A1, A8): exactly 256 bytes, no end
// but the count. E (E1, E9): up to the 512 bytes of RAM, the end marked by
// a pause on the line.
enum class Family { A, E };

// Bytes of RAM the loader fills from $0000.
std::size_t ramBytes(Family family);
// "A" or "E", as the texts name the family.
const char* familyName(Family family);

// The program of a .BOO file: what follows its leading $FF, memory from
// $0000 on. Throws Failure(kOpReadBoo, path, reason) for a file that is not
// one or holds no program byte.
std::vector<std::uint8_t> parseBootImage(std::string_view contents, const std::string& path);
std::vector<std::uint8_t> readBootImage(const std::string& path);

// The bytes the loader takes: an A-family load padded with $00 to 256 bytes,
// an E-family load as it is. Nothing when the program does not fit; then
// tooBigMessage() says why.
std::optional<std::vector<std::uint8_t>> loadBytes(const std::vector<std::uint8_t>& program,
                                                   Family family);
std::string tooBigMessage(std::size_t programBytes, Family family);

} // namespace kavrel::board
