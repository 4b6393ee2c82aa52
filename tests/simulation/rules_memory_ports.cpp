// What the memory and ports panes compute without Qt: rows, register names,
// typed addresses and bytes, pins, volts.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>

#include "simulation/memory_format.h"
#include "simulation/port_levels.h"

using namespace kavrel::simulation;
using sim11::Chip;

TEST(MemoryFormat, HexRowWithCharacters) {
    std::array<std::uint8_t, 0x10000> memory{};
    const char text[] = "Bonjour\r\n\xE9t\xE9\x81\x7F";
    for (std::size_t i = 0; i + 1 < sizeof text; ++i)
        memory[0x2000 + i] = static_cast<std::uint8_t>(text[i]);
    EXPECT_EQ(hexRow(memory.data(), 0x2000),
              "$2000  42 6F 6E 6A 6F 75 72 0D 0A E9 74 E9 81 7F 00 00  Bonjour..\u00E9t\u00E9....");
    // The last row of the map does not read beyond it.
    memory[0xFFFF] = 'Z';
    memory[0x0000] = 'A';
    EXPECT_EQ(hexRow(memory.data(), 0xFFFF, 2), "$FFFF  5A 41  ZA");
}

TEST(MemoryFormat, RegisterBlockOfEachFamily) {
    struct Case {
        Chip chip;
        int offset;
        const char* name; // null: reserved
        bool low;
    } cases[] = {
        {Chip::E9, 0x00, "PORTA", false}, {Chip::E9, 0x01, nullptr, false},
        {Chip::E9, 0x02, "PIOC", false},  {Chip::A1, 0x04, "PORTB", false},
        {Chip::E9, 0x0A, "PORTE", false}, {Chip::E9, 0x0E, "TCNT", false},
        {Chip::E9, 0x0F, "TCNT", true},   {Chip::A1, 0x1E, "TOC5", false},
        {Chip::E1, 0x1E, "TI4O5", false}, {Chip::E9, 0x1F, "TI4O5", true},
        {Chip::E9, 0x2F, "SCDR", false},  {Chip::E9, 0x35, "BPROT", false},
        {Chip::A1, 0x35, nullptr, false}, {Chip::E9, 0x38, "OPT2", false},
        {Chip::A1, 0x38, nullptr, false}, {Chip::A1, 0x39, "OPTION", false},
        {Chip::E9, 0x3D, "INIT", false},  {Chip::E9, 0x3F, "CONFIG", false},
        {Chip::E9, 0x40, nullptr, false}, {Chip::E9, -1, nullptr, false},
    };
    for (const auto& c : cases) {
        const RegisterName reg = registerName(c.chip, c.offset);
        if (c.name)
            EXPECT_STREQ(reg.name, c.name) << c.offset;
        else
            EXPECT_EQ(reg.name, nullptr) << c.offset;
        EXPECT_EQ(reg.lowByte, c.low) << c.offset;
    }
    EXPECT_EQ(registerOffset(Chip::E9, "portb"), 0x04);
    EXPECT_EQ(registerOffset(Chip::E9, "TCNT"), 0x0E); // the high byte
    EXPECT_EQ(registerOffset(Chip::A1, "BPROT"), std::nullopt);
    EXPECT_EQ(registerOffset(Chip::E9, "PORTZ"), std::nullopt);
}

TEST(MemoryFormat, BytesAsTyped) {
    struct Case {
        const char* typed;
        std::optional<std::uint8_t> value;
    } cases[] = {
        {"3F", 0x3F},         {"$3f", 0x3F},         {"0x3F", 0x3F},         {" ff ", 0xFF},
        {"%00111111", 0x3F},  {"#63", 63},           {"'A'", 'A'},           {"'\u00E9'", 0xE9},
        {"''", std::nullopt}, {"100", std::nullopt}, {"#256", std::nullopt}, {"G1", std::nullopt},
        {"", std::nullopt},   {"$", std::nullopt},   {"%2", std::nullopt},   {"'AB'", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseByte(c.typed), c.value) << c.typed;
}

TEST(MemoryFormat, AddressesRegistersAndSymbols) {
    const std::map<std::string, std::uint16_t, std::less<>> symbols = {
        {"DEBUT", 0xF800}, {"TABLE", 0x0100}, {"BEEF", 0x0042}, {"PORTB", 0x0004}};
    const SymbolLookup lookup = [&](std::string_view name) -> std::optional<std::uint16_t> {
        const auto it = symbols.find(name);
        return it == symbols.end() ? std::nullopt : std::optional(it->second);
    };
    struct Case {
        const char* typed;
        std::uint16_t base;
        std::optional<std::uint16_t> address;
    } cases[] = {
        {"$1000", 0x1000, 0x1000},
        {"b600", 0x1000, 0xB600},
        {"0xFFFF", 0x1000, 0xFFFF},
        {"%1010", 0x1000, 0x000A},
        {"10000", 0x1000, std::nullopt},
        {"DEBUT", 0x1000, 0xF800},
        {"TABLE+5", 0x1000, 0x0105},
        {"TABLE + $10", 0x1000, 0x0110},
        {"TABLE-1", 0x1000, 0x00FF},
        // The chip's register wins over a symbol of the same name, and
        // follows INIT.
        {"PORTB", 0x1000, 0x1004},
        {"portb", 0x9000, 0x9004},
        {"CONFIG", 0x1000, 0x103F},
        {"TCNT+1", 0x1000, 0x100F},
        // A name that is also a number: the program's symbol.
        {"BEEF", 0x1000, 0x0042},
        {"CAFE", 0x1000, 0xCAFE},
        {"NULLE", 0x1000, std::nullopt},
        {"TABLE+", 0x1000, std::nullopt},
        {"", 0x1000, std::nullopt},
        {"DEBUT+$900", 0x1000, 0x0100}, // wraps at the end of the map
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseAddress(c.typed, lookup, Chip::E9, c.base), c.address) << c.typed;
    EXPECT_EQ(parseAddress("BPROT", lookup, Chip::A1, 0x1000), std::nullopt);
    EXPECT_EQ(parseAddress("DEBUT", nullptr, Chip::E9, 0x1000), std::nullopt);
}

TEST(PortLevels, KindsNamesAndChanges) {
    // Port D of a single-chip part: six pins, DDRD = %000101.
    const PortState d{0b0010'0110, 0b0000'0101, 0b0011'1111};
    EXPECT_EQ(pinKind(d, 0), PinKind::Output);
    EXPECT_EQ(pinKind(d, 1), PinKind::Input);
    EXPECT_EQ(pinKind(d, 2), PinKind::Output);
    EXPECT_EQ(pinKind(d, 6), PinKind::Absent);
    EXPECT_EQ(pinKind(d, 7), PinKind::Absent);
    EXPECT_EQ(pinName(Port::D, 5), "PD5");
    EXPECT_EQ(pinName(Port::A, 0), "PA0");
    EXPECT_EQ(portLetter(Port::E), 'E');

    const PortState before{0b1100'0000, 0, 0b0011'1111};
    // Bits 6 and 7 differ but are absent: not a change anyone could see.
    EXPECT_EQ(changedPins(before, d), 0b0010'0110);
    EXPECT_EQ(changedPins(d, d), 0);
}

TEST(PortLevels, VoltsAndCounts) {
    struct Case {
        std::uint8_t counts;
        const char* shown;
    } cases[] = {{0, "0,00 V"}, {1, "0,02 V"}, {128, "2,51 V"}, {255, "5,00 V"}, {51, "1,00 V"}};
    for (const auto& c : cases)
        EXPECT_EQ(formatVolts(c.counts), c.shown) << int(c.counts);
    // Every count survives the trip through volts.
    for (int counts = 0; counts < 256; ++counts)
        EXPECT_EQ(voltsToCounts(countsToVolts(static_cast<std::uint8_t>(counts))), counts);
    EXPECT_EQ(voltsToCounts(2.5), 128);
    EXPECT_EQ(voltsToCounts(-1), 0);
    EXPECT_EQ(voltsToCounts(7.2), 255);
    EXPECT_EQ(voltsToCounts(std::nan("")), 0);
}
