#include "board/eeprom_records.h"

#include "board/board_texts.h"
#include "board/fill_text.h"
#include "common/hex_text.h"

#include <array>
#include <memory>
#include <optional>

namespace kavrel::board {

namespace {

// Every address of the map, once: records in any order and size cost 64 K.
struct AddressMap {
    std::array<std::int16_t, 0x10000> value; // -1: no byte there
    std::array<bool, 0x10000> conflict{};
    AddressMap() { value.fill(-1); }
};

// Consecutive marked addresses as ranges.
template <typename Marked> std::vector<AddressRange> runs(Marked marked) {
    std::vector<AddressRange> found;
    std::optional<std::uint32_t> start;
    for (std::uint32_t a = 0; a <= 0x10000; ++a) {
        const bool on = a < 0x10000 && marked(a);
        if (on && !start)
            start = a;
        if (!on && start) {
            found.push_back(
                {static_cast<std::uint16_t>(*start), static_cast<std::uint16_t>(a - 1)});
            start.reset();
        }
    }
    return found;
}

std::unique_ptr<AddressMap> fill(std::span<const MemoryBlock> blocks) {
    auto map = std::make_unique<AddressMap>();
    for (const MemoryBlock& block : blocks) {
        for (std::size_t k = 0; k < block.bytes.size(); ++k) {
            const std::uint32_t address = block.address + k;
            if (address > 0xFFFF)
                break;
            std::int16_t& cell = map->value[address];
            if (cell >= 0 && cell != block.bytes[k])
                map->conflict[address] = true;
            cell = block.bytes[k];
        }
    }
    return map;
}

std::string listText(const std::vector<AddressRange>& ranges) {
    std::string text;
    for (const AddressRange& range : ranges) {
        if (!text.empty())
            text += kListSeparator;
        text += fillText(kRange,
                         {hex::word(range.first), hex::word(range.last), byteCount(range.size())});
    }
    return text;
}

} // namespace

std::size_t EepromRecords::byteCount() const {
    std::size_t count = 0;
    for (const MemoryBlock& block : inside)
        count += block.bytes.size();
    return count;
}

EepromRecords eepromRecords(std::span<const MemoryBlock> blocks, AddressRange eeprom) {
    const auto map = fill(blocks);
    EepromRecords records;
    for (std::uint32_t a = eeprom.first; a <= eeprom.last; ++a) {
        if (map->value[a] < 0)
            continue;
        if (records.inside.empty() ||
            records.inside.back().address + records.inside.back().bytes.size() != a)
            records.inside.push_back({static_cast<std::uint16_t>(a), {}});
        records.inside.back().bytes.push_back(static_cast<std::uint8_t>(map->value[a]));
    }
    records.outside = runs([&](std::uint32_t a) {
        return map->value[a] >= 0 && !eeprom.contains(static_cast<std::uint16_t>(a));
    });
    records.conflicts = runs([&](std::uint32_t a) { return map->conflict[a]; });
    return records;
}

std::vector<AddressRange> coveredRanges(std::span<const MemoryBlock> blocks) {
    const auto map = fill(blocks);
    return runs([&](std::uint32_t a) { return map->value[a] >= 0; });
}

std::string recordsNotice(const EepromRecords& records, AddressRange eeprom) {
    const std::string where = fillText(
        kRange, {hex::word(eeprom.first), hex::word(eeprom.last), byteCount(eeprom.size())});
    std::string text;
    auto add = [&text](const std::string& line) {
        if (!text.empty())
            text += "\r\n";
        text += line;
    };
    if (records.inside.empty())
        add(fillText(kNoEepromBytes, {where}));
    if (!records.outside.empty())
        add(fillText(kOutsideEeprom, {where, listText(records.outside)}));
    if (!records.conflicts.empty())
        add(fillText(kConflictingBytes, {where, listText(records.conflicts)}));
    return text;
}

} // namespace kavrel::board
