#include "board/config_register.h"

#include "board/board_texts.h"
#include "board/fill_text.h"
#include "common/hex_text.h"

#include <algorithm>
#include <array>

namespace kavrel::board {

namespace {

constexpr std::uint8_t kNosec = 0x08, kNocop = 0x04, kRomon = 0x02, kEeon = 0x01;
constexpr std::uint8_t kEeBits = 0xF0;
constexpr AddressRange kEeprom512{0xB600, 0xB7FF};

// The A1 and E1 are the A8 and E9 with ROMON cleared at the factory: the ROM
// is there, switched off. The 68HC811E2 has none; its bit 1 is not a bit.
constexpr std::array kParts{
    PartInfo{Part::A1, "68HC11A1", Family::A, 0x0D, 0x0F, AddressRange{0xE000, 0xFFFF}, false,
             true},
    PartInfo{Part::A8, "68HC11A8", Family::A, 0x0F, 0x0F, AddressRange{0xE000, 0xFFFF}, false,
             true},
    PartInfo{Part::E1, "68HC11E1", Family::E, 0x0D, 0x0F, AddressRange{0xD000, 0xFFFF}, false,
             false},
    PartInfo{Part::E9, "68HC11E9", Family::E, 0x0F, 0x0F, AddressRange{0xD000, 0xFFFF}, false,
             false},
    PartInfo{Part::E2, "68HC811E2", Family::E, 0xFF, 0xFD, std::nullopt, true, false},
};
constexpr std::array kPartOrder{Part::A1, Part::A8, Part::E1, Part::E9, Part::E2};

std::string rangeText(AddressRange range) {
    return fillText(kRange,
                    {hex::word(range.first), hex::word(range.last), byteCount(range.size())});
}

std::string listText(const std::vector<AddressRange>& ranges) {
    std::string text;
    for (const AddressRange& range : ranges) {
        if (!text.empty())
            text += kListSeparator;
        text += rangeText(range);
    }
    return text;
}

// The parts of `ranges` inside `within`.
std::vector<AddressRange> clip(std::span<const AddressRange> ranges, AddressRange within) {
    std::vector<AddressRange> inside;
    for (const AddressRange& range : ranges) {
        const std::uint16_t first = std::max(range.first, within.first);
        const std::uint16_t last = std::min(range.last, within.last);
        if (first <= last)
            inside.push_back({first, last});
    }
    return inside;
}

// The parts of `ranges` outside `removed`.
std::vector<AddressRange> subtract(const std::vector<AddressRange>& ranges,
                                   std::optional<AddressRange> removed) {
    if (!removed)
        return ranges;
    std::vector<AddressRange> left;
    for (const AddressRange& range : ranges) {
        if (range.last < removed->first || range.first > removed->last) {
            left.push_back(range);
            continue;
        }
        if (range.first < removed->first)
            left.push_back({range.first, static_cast<std::uint16_t>(removed->first - 1)});
        if (range.last > removed->last)
            left.push_back({static_cast<std::uint16_t>(removed->last + 1), range.last});
    }
    return left;
}

} // namespace

const PartInfo& partInfo(Part part) {
    for (const PartInfo& info : kParts)
        if (info.part == part)
            return info;
    return kParts[3];
}

std::span<const Part> allParts() {
    return kPartOrder;
}

std::vector<ConfigBit> configBits(Part part) {
    const PartInfo& info = partInfo(part);
    std::vector<ConfigBit> bits;
    if (info.eepromPlaced) {
        const char* names[] = {"EE3", "EE2", "EE1", "EE0"};
        for (int k = 0; k < 4; ++k)
            bits.push_back({names[k], static_cast<std::uint8_t>(0x80 >> k),
                            fillText(kBitEe, {std::to_string(8 >> k)})});
    }
    bits.push_back({"NOSEC", kNosec, kBitNosec});
    bits.push_back({"NOCOP", kNocop, kBitNocop});
    if (info.rom)
        bits.push_back(
            {"ROMON", kRomon,
             fillText(kBitRomon, {hex::word(info.rom->first), hex::word(info.rom->last)})});
    // The EEON sentence names where the EEPROM is as the part leaves the factory.
    const AddressRange eeprom = eepromRange(part, info.erased);
    bits.push_back(
        {"EEON", kEeon, fillText(kBitEeon, {hex::word(eeprom.first), hex::word(eeprom.last)})});
    return bits;
}

AddressRange eepromRange(Part part, std::uint8_t config) {
    if (!partInfo(part).eepromPlaced)
        return kEeprom512;
    const auto first = static_cast<std::uint16_t>((config & kEeBits) << 8 | 0x0800);
    return {first, static_cast<std::uint16_t>(first + 0x07FF)};
}

std::optional<AddressRange> mappedEeprom(Part part, std::uint8_t config) {
    if (!(config & kEeon))
        return std::nullopt;
    return eepromRange(part, config);
}

std::optional<AddressRange> mappedRom(Part part, std::uint8_t config) {
    const PartInfo& info = partInfo(part);
    if (!info.rom || !(config & kRomon))
        return std::nullopt;
    return info.rom;
}

bool sameConfig(Part part, std::uint8_t a, std::uint8_t b) {
    return ((a ^ b) & partInfo(part).implemented) == 0;
}

ConfigChange analyseConfigChange(Part part, std::uint8_t from, std::uint8_t to,
                                 std::span<const AddressRange> program) {
    const PartInfo& info = partInfo(part);
    ConfigChange change;
    change.value = static_cast<std::uint8_t>((to & info.implemented) | (from & ~info.implemented));
    change.unchanged = sameConfig(part, from, to);
    if (change.unchanged)
        return change;

    const auto risen = static_cast<std::uint8_t>(~from & change.value & info.implemented);
    const auto fallen = static_cast<std::uint8_t>(from & ~change.value & info.implemented);
    if (fallen & kNosec)
        change.risks.push_back(kRiskSecurity);

    // The program's bytes in the EEPROM now that will not be there after.
    if (const auto eepromNow = mappedEeprom(part, from)) {
        const auto eepromNext = mappedEeprom(part, change.value);
        const auto lost = subtract(clip(program, *eepromNow), eepromNext);
        if (!lost.empty()) {
            if (!eepromNext)
                change.risks.push_back(fillText(kRiskEepromOff, {listText(lost)}));
            else
                change.risks.push_back(
                    fillText(kRiskEepromMoved, {listText(lost), hex::word(eepromNow->first),
                                                hex::word(eepromNext->first)}));
        }
    }
    // The program's bytes in the ROM that goes, or under the ROM that comes.
    const auto romNow = mappedRom(part, from);
    const auto romNext = mappedRom(part, change.value);
    if (romNow && !romNext) {
        const auto used = clip(program, *romNow);
        if (!used.empty())
            change.risks.push_back(fillText(kRiskRomOff, {listText(used)}));
    } else if (!romNow && romNext) {
        const auto hidden = clip(program, *romNext);
        if (!hidden.empty())
            change.risks.push_back(fillText(kRiskRomOn, {listText(hidden)}));
    }

    change.needsErase = risen != 0;
    if (change.needsErase) {
        change.erasesEeprom = info.eraseTakesEeprom;
        if (change.erasesEeprom) {
            const AddressRange eeprom = eepromRange(part, from);
            change.erase =
                fillText(kEraseEeprom, {info.name, byteCount(eeprom.size()),
                                        hex::word(eeprom.first), hex::word(eeprom.last)});
        } else {
            change.erase = kEraseByte;
        }
    }
    return change;
}

std::string confirmText(Part, const ConfigChange& change) {
    std::string text;
    for (const std::string& risk : change.risks)
        text += risk + "\r\n\r\n";
    if (change.erasesEeprom)
        text += change.erase + "\r\n\r\n";
    text += fillText(kConfirmConfig, {hex::byte(change.value)});
    return text;
}

} // namespace kavrel::board
