// CONFIG by part and what a change would do; an S19's bytes for the EEPROM.
#include "board/config_register.h"
#include "board/eeprom_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavrel::board::test {
namespace {

std::vector<std::string> names(Part part) {
    std::vector<std::string> found;
    for (const ConfigBit& bit : configBits(part))
        found.push_back(bit.name);
    return found;
}

TEST(ConfigRegister, EachPartShowsTheBitsItHasFromBitSevenDown) {
    using V = std::vector<std::string>;
    EXPECT_EQ(names(Part::E9), (V{"NOSEC", "NOCOP", "ROMON", "EEON"}));
    EXPECT_EQ(names(Part::A1), (V{"NOSEC", "NOCOP", "ROMON", "EEON"}));
    EXPECT_EQ(names(Part::E2), (V{"EE3", "EE2", "EE1", "EE0", "NOSEC", "NOCOP", "EEON"}));
    for (Part part : allParts()) {
        std::uint8_t masks = 0;
        for (const ConfigBit& bit : configBits(part)) {
            EXPECT_FALSE(bit.meaning.empty()) << bit.name;
            EXPECT_EQ(masks & bit.mask, 0) << bit.name << ": two bits on one mask";
            masks |= bit.mask;
        }
        EXPECT_EQ(masks, partInfo(part).implemented) << partInfo(part).name;
    }
    // The sentences name the part's own addresses.
    EXPECT_NE(configBits(Part::E9)[2].meaning.find("$D000 à $FFFF"), std::string::npos);
    EXPECT_NE(configBits(Part::A8)[2].meaning.find("$E000 à $FFFF"), std::string::npos);
    EXPECT_NE(configBits(Part::E2).back().meaning.find("$F800 à $FFFF"), std::string::npos);
}

TEST(ConfigRegister, EepromAndRomWhereConfigPutsThem) {
    EXPECT_EQ(eepromRange(Part::E9, 0x00), (AddressRange{0xB600, 0xB7FF}));
    EXPECT_EQ(eepromRange(Part::E2, 0xFF), (AddressRange{0xF800, 0xFFFF}));
    EXPECT_EQ(eepromRange(Part::E2, 0x0F), (AddressRange{0x0800, 0x0FFF}));
    EXPECT_EQ(eepromRange(Part::E2, 0xBD), (AddressRange{0xB800, 0xBFFF}));
    EXPECT_FALSE(mappedEeprom(Part::E2, 0xFE));
    EXPECT_EQ(mappedRom(Part::E9, 0x0F), (AddressRange{0xD000, 0xFFFF}));
    EXPECT_FALSE(mappedRom(Part::E9, 0x0D));
    EXPECT_FALSE(mappedRom(Part::E2, 0xFF));
    // Bits a part lacks do not make two values differ.
    EXPECT_TRUE(sameConfig(Part::A1, 0x0D, 0xFD));
    EXPECT_FALSE(sameConfig(Part::A1, 0x0D, 0x0F));
    EXPECT_TRUE(sameConfig(Part::E2, 0xFF, 0xFD));
}

struct ChangeCase {
    const char* what;
    Part part;
    std::uint8_t from, to;
    std::vector<AddressRange> program;
    std::size_t risks;
    const char* riskHas; // a piece of the first risk's sentence
    bool needsErase, erasesEeprom;
};

class ConfigChanges : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ConfigChanges, RisksAndErase) {
    const ChangeCase& c = GetParam();
    const ConfigChange change = analyseConfigChange(c.part, c.from, c.to, c.program);
    ASSERT_EQ(change.risks.size(), c.risks) << c.what;
    if (c.risks) {
        EXPECT_NE(change.risks.front().find(c.riskHas), std::string::npos)
            << c.what << ": " << change.risks.front();
    }
    EXPECT_EQ(change.needsErase, c.needsErase) << c.what;
    EXPECT_EQ(change.erasesEeprom, c.erasesEeprom) << c.what;
    EXPECT_EQ(change.asksFirst(), c.risks > 0 || c.erasesEeprom) << c.what;
}

const std::vector<AddressRange> kInRam{{0x0000, 0x00FF}};
const std::vector<AddressRange> kInEeprom{{0x0000, 0x003F}, {0xB600, 0xB6FF}, {0xFFFE, 0xFFFF}};

INSTANTIATE_TEST_SUITE_P(
    Parts, ConfigChanges,
    ::testing::Values(
        ChangeCase{"COP on", Part::E9, 0x0F, 0x0B, kInRam, 0, "", false, false},
        ChangeCase{"COP off again: E erases CONFIG alone", Part::E9, 0x0B, 0x0F, kInRam, 0, "",
                   true, false},
        ChangeCase{"COP off again on an A: the whole EEPROM", Part::A8, 0x0B, 0x0F, kInRam, 0, "",
                   true, true},
        ChangeCase{"security on", Part::E9, 0x0F, 0x07, kInRam, 1, "NOSEC passe à 0", false, false},
        ChangeCase{"security on a 68HC811E2", Part::E2, 0xFF, 0xF7, {}, 1, "NOSEC", false, false},
        ChangeCase{"EEPROM off under the program", Part::E9, 0x0F, 0x0E, kInEeprom, 1,
                   "de $B600 à $B6FF, 256 octets", false, false},
        ChangeCase{"EEPROM off, program in RAM", Part::E9, 0x0F, 0x0E, kInRam, 0, "", false, false},
        ChangeCase{"EEPROM already off, turned on", Part::E1, 0x0C, 0x0D, kInEeprom, 0, "", true,
                   false},
        ChangeCase{"E2's EEPROM moved from under its vectors",
                   Part::E2,
                   0xFF,
                   0x7F,
                   {{0xF800, 0xF8FF}, {0xFFFE, 0xFFFF}},
                   1,
                   "de $F800 à $7800",
                   false,
                   false},
        ChangeCase{"E2's EEPROM moved, program in RAM", Part::E2, 0xFF, 0x7F, kInRam, 0, "", false,
                   false},
        ChangeCase{"ROM off under a program that calls it",
                   Part::E9,
                   0x0F,
                   0x0D,
                   {{0x0100, 0x01FF}, {0xE000, 0xE0FF}},
                   1,
                   "de $E000 à $E0FF",
                   false,
                   false},
        ChangeCase{"ROM on over an A1's external program",
                   Part::A1,
                   0x0D,
                   0x0F,
                   {{0xE000, 0xE3FF}},
                   1,
                   "la ROM les cachera",
                   true,
                   true},
        ChangeCase{"bits the part lacks change nothing", Part::A1, 0x0D, 0xFD, kInRam, 0, "", false,
                   false}));

TEST(ConfigRegister, ValueKeepsTheBitsThePartLacks) {
    const ConfigChange change = analyseConfigChange(Part::E2, 0xFF, 0x00, {});
    EXPECT_EQ(change.value, 0x02); // bit 1 is not the user's
    EXPECT_TRUE(analyseConfigChange(Part::A1, 0x0D, 0xFD).unchanged);
}

TEST(ConfigRegister, QuestionBeforeAnAPartsEraseSaysTheEepromGoes) {
    const ConfigChange change =
        analyseConfigChange(Part::A1, 0x05, 0x0D, std::vector<AddressRange>{{0x0000, 0x00FF}});
    EXPECT_EQ(confirmText(Part::A1, change),
              "Pour remettre un bit à 1, CONFIG doit être effacé : sur un 68HC11A1, cet "
              "effacement est celui de toute l'EEPROM (512 octets, de $B600 à $B7FF), dont le "
              "contenu sera perdu.\r\n\r\nProgrammer quand même CONFIG à $0D ?");
}

// --- the EEPROM's bytes of an S19 ---

const AddressRange kEeprom{0xB600, 0xB7FF};

std::vector<std::uint8_t> bytes(std::size_t count, std::uint8_t first) {
    std::vector<std::uint8_t> out(count);
    for (std::size_t k = 0; k < count; ++k)
        out[k] = static_cast<std::uint8_t>(first + k);
    return out;
}

TEST(EepromRecords, RecordsAcrossTheEdgesAreSplitAndTheRestTold) {
    const std::vector<MemoryBlock> file{
        {0xB5F0, bytes(0x20, 0)},    // half before the EEPROM
        {0xB610, bytes(0x10, 0x20)}, // follows on: one run
        {0xB7F8, bytes(0x10, 0x40)}, // half after it
        {0x0100, bytes(4, 0x80)},
    };
    const EepromRecords records = eepromRecords(file, kEeprom);
    ASSERT_EQ(records.inside.size(), 2u);
    EXPECT_EQ(records.inside[0].address, 0xB600);
    EXPECT_EQ(records.inside[0].bytes.size(), 0x20u);
    EXPECT_EQ(records.inside[0].bytes.front(), 0x10);
    EXPECT_EQ(records.inside[0].bytes.back(), 0x2F);
    EXPECT_EQ(records.inside[1], (MemoryBlock{0xB7F8, bytes(8, 0x40)}));
    EXPECT_EQ(records.byteCount(), 0x28u);
    EXPECT_EQ(records.outside,
              (std::vector<AddressRange>{{0x0100, 0x0103}, {0xB5F0, 0xB5FF}, {0xB800, 0xB807}}));
    EXPECT_TRUE(records.conflicts.empty());
    EXPECT_EQ(recordsNotice(records, kEeprom),
              "Ces octets du fichier ne sont pas dans l'EEPROM (de $B600 à $B7FF, 512 octets) "
              "et ne seront pas programmés : de $0100 à $0103, 4 octets ; de $B5F0 à $B5FF, "
              "16 octets ; de $B800 à $B807, 8 octets.");
}

TEST(EepromRecords, ALaterByteWinsAndTheConflictIsTold) {
    const std::vector<MemoryBlock> file{
        {0xB600, {1, 2, 3, 4}}, {0xB602, {3, 9}}, // same at $B602, different at $B603
    };
    const EepromRecords records = eepromRecords(file, kEeprom);
    ASSERT_EQ(records.inside.size(), 1u);
    EXPECT_EQ(records.inside[0].bytes, (std::vector<std::uint8_t>{1, 2, 3, 9}));
    EXPECT_EQ(records.conflicts, (std::vector<AddressRange>{{0xB603, 0xB603}}));
    EXPECT_NE(recordsNotice(records, kEeprom).find("de $B603 à $B603, 1 octet"), std::string::npos);
}

TEST(EepromRecords, NothingForTheEepromIsSaidAndARecordStopsAtTheTop) {
    const std::vector<MemoryBlock> file{{0xFFFE, {0x12, 0x34, 0x56}}};
    const EepromRecords records = eepromRecords(file, kEeprom);
    EXPECT_TRUE(records.inside.empty());
    EXPECT_EQ(records.outside, (std::vector<AddressRange>{{0xFFFE, 0xFFFF}}));
    EXPECT_EQ(recordsNotice(records, kEeprom).substr(0, 50),
              "Ce fichier n'a aucun octet pour l'EEPROM (de $B600");
    // The 68HC811E2's EEPROM holds them.
    const EepromRecords e2 = eepromRecords(file, eepromRange(Part::E2, 0xFF));
    EXPECT_EQ(e2.byteCount(), 2u);
    EXPECT_EQ(recordsNotice(e2, eepromRange(Part::E2, 0xFF)), "");
    EXPECT_EQ(coveredRanges(file), (std::vector<AddressRange>{{0xFFFE, 0xFFFF}}));
}

} // namespace
} // namespace kavrel::board::test
