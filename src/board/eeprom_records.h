#pragma once

// The bytes of a program bound for the chip's EEPROM: an S19's records split
// at the EEPROM's edges, what falls outside it kept to be told, never
// dropped in silence. Plain C++, any thread.
#include "board/config_register.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kavrel::board {

// Bytes from `address` on, as a record gives them.
struct MemoryBlock {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const MemoryBlock&) const = default;
};

struct EepromRecords {
    // The bytes inside the EEPROM, in rising runs of consecutive addresses.
    std::vector<MemoryBlock> inside;
    // The records' addresses outside it, merged and in order.
    std::vector<AddressRange> outside;
    // Addresses the records give two different values (the last one is kept).
    std::vector<AddressRange> conflicts;

    std::size_t byteCount() const;
};

// `blocks` in file order, a later byte replacing an earlier one at the same
// address; a block that runs past $FFFF stops there.
EepromRecords eepromRecords(std::span<const MemoryBlock> blocks, AddressRange eeprom);

// The address ranges the blocks cover, merged and in order.
std::vector<AddressRange> coveredRanges(std::span<const MemoryBlock> blocks);

// What the user is told beside the records: the bytes left out, the
// conflicts, or that nothing is for the EEPROM. Lines joined with CR LF;
// empty when there is nothing to say.
std::string recordsNotice(const EepromRecords& records, AddressRange eeprom);

} // namespace kavrel::board
