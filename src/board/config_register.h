#pragma once

// CONFIG, the chip's EEPROM-based configuration register at $103F: its bits
// by name for each part Kavrel knows, what each does, where it puts the
// EEPROM and the ROM, and what a change would cost (an erase, the EEPROM of
// an A part, a locked chip). Plain C++, any thread.
#include "board/boot_image.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kavrel::board {

// The parts: the A1 and A8 (family A), the E1 and E9 (family E), and the
// 68HC811E2 (family E, 2 KB of EEPROM placed by EE3-EE0, no ROM).
enum class Part { A1, A8, E1, E9, E2 };

// Addresses from `first` to `last`, both included.
struct AddressRange {
    std::uint16_t first = 0, last = 0;
    std::size_t size() const { return static_cast<std::size_t>(last) - first + 1; }
    bool contains(std::uint16_t address) const { return address >= first && address <= last; }
    bool operator==(const AddressRange&) const = default;
};

// One bit of CONFIG as the part has it.
struct ConfigBit {
    const char* name; // "NOSEC"
    std::uint8_t mask;
    std::string meaning; // what it does, in French
};

struct PartInfo {
    Part part;
    const char* name; // "68HC11E9"
    Family family;
    std::uint8_t erased;      // CONFIG of a part fresh from the factory (its cell erased on E2)
    std::uint8_t implemented; // the bits the part has; the others read as they are
    std::optional<AddressRange> rom; // where ROMON puts the ROM; none without ROM
    bool eepromPlaced;               // EE3-EE0 place the EEPROM (68HC811E2)
    bool eraseTakesEeprom; // erasing CONFIG is the bulk erase of the whole EEPROM (A parts)
};

const PartInfo& partInfo(Part part);
// Every part, in the order the lists show them.
std::span<const Part> allParts();

// The part's bits, from bit 7 down.
std::vector<ConfigBit> configBits(Part part);

// Where the EEPROM is with that CONFIG (whether EEON maps it or not).
AddressRange eepromRange(Part part, std::uint8_t config);
// The EEPROM and the ROM as that CONFIG maps them: none when switched off.
std::optional<AddressRange> mappedEeprom(Part part, std::uint8_t config);
std::optional<AddressRange> mappedRom(Part part, std::uint8_t config);

// The same on the bits the part has.
bool sameConfig(Part part, std::uint8_t a, std::uint8_t b);

// What programming `to` over a CONFIG that holds `from` would do, for a
// program that uses `program` (its S19's address ranges).
struct ConfigChange {
    // What is programmed: `to` on the part's bits, `from` on the others.
    std::uint8_t value = 0;
    bool unchanged = false;
    // A bit from 0 to 1: the cell is erased first.
    bool needsErase = false;
    // The erase is the bulk erase of the whole EEPROM (A parts).
    bool erasesEeprom = false;
    // What would lock the chip or take its memory from the program, one
    // French sentence each; empty when nothing does.
    std::vector<std::string> risks;
    // The sentence on the erase; empty without one.
    std::string erase;

    bool asksFirst() const { return !risks.empty() || erasesEeprom; }
};
ConfigChange analyseConfigChange(Part part, std::uint8_t from, std::uint8_t to,
                                 std::span<const AddressRange> program = {});

// The question asked before a change that asksFirst(): its risks, then the
// erase, then whether to go on. Lines joined with CR LF.
std::string confirmText(Part part, const ConfigChange& change);

} // namespace kavrel::board
