// The output files: S-records, the bootstrap image and the listing.
#include "asm_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace asmhc11::test {
namespace {

struct Record {
    char type = 0;
    unsigned address = 0;
    std::vector<std::uint8_t> data;
};

unsigned hexByte(const std::string& line, std::size_t at) {
    return static_cast<unsigned>(std::stoul(line.substr(at, 2), nullptr, 16));
}

// Parses S-records and checks, by computation, every count and checksum.
std::vector<Record> parseS19(const std::string& text) {
    std::vector<Record> records;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "ligne sans CR LF";
        if (end == std::string::npos)
            break;
        const std::string line = text.substr(start, end - start);
        start = end + 2;
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_GE(line.size(), 10u);
        EXPECT_EQ(line[0], 'S');
        const unsigned count = hexByte(line, 2);
        EXPECT_EQ(line.size(), 4 + 2 * count) << line;
        unsigned sum = 0;
        for (std::size_t i = 2; i + 2 < line.size(); i += 2)
            sum += hexByte(line, i);
        EXPECT_EQ(hexByte(line, line.size() - 2), (~sum) & 0xFF) << "somme de contrôle : " << line;
        Record r;
        r.type = line[1];
        r.address = hexByte(line, 4) << 8 | hexByte(line, 6);
        for (std::size_t i = 8; i + 2 < line.size(); i += 2)
            r.data.push_back(static_cast<std::uint8_t>(hexByte(line, i)));
        records.push_back(r);
    }
    return records;
}

TEST(S19, KnownRecordIsExact) {
    const Result result = assemble(" ORG $C000\n LDAA #$12\n END $C000\n");
    EXPECT_EQ(result.s19, "S105C0008612A2\r\nS903C0003C\r\n");
}

TEST(S19, RecordsHoldAtMost32BytesInAddressOrder) {
    // Written high block first; the records still come in address order.
    const Result result = assemble(" ORG $2000\n BSZ 40\n ORG $1000\n FILL $55,70\n END $1000\n");
    ASSERT_TRUE(result.ok()) << errorsOf(result);
    const std::vector<Record> records = parseS19(result.s19);
    ASSERT_EQ(records.size(), 6u);
    unsigned expected = 0x1000;
    std::size_t total = 0;
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        EXPECT_EQ(records[i].type, '1');
        EXPECT_LE(records[i].data.size(), 32u);
        if (i == 3)
            expected = 0x2000;
        EXPECT_EQ(records[i].address, expected);
        expected += static_cast<unsigned>(records[i].data.size());
        total += records[i].data.size();
    }
    EXPECT_EQ(total, 110u);
    EXPECT_EQ(records[2].data, std::vector<std::uint8_t>(6, 0x55));
    EXPECT_EQ(records.back().type, '9');
    EXPECT_EQ(records.back().address, 0x1000u);
    EXPECT_TRUE(records.back().data.empty());
}

TEST(S19, RecordsBreakAtGapsAndS9DefaultsToZero) {
    const Result result = assemble(" ORG $10\n FCB 1\n RMB 1\n FCB 2\n");
    const std::vector<Record> records = parseS19(result.s19);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].address, 0x10u);
    EXPECT_EQ(records[1].address, 0x12u);
    EXPECT_EQ(records[2].type, '9');
    EXPECT_EQ(records[2].address, 0u);
}

TEST(S19, EmptyProgramHasOnlyS9) {
    EXPECT_EQ(assemble("* rien\n").s19, "S9030000FC\r\n");
}

TEST(Boot, ImageIsFFThenMemoryFromZeroPaddedTo256) {
    const Result result = assemble(" ORG $0000\n LDAA #1\n ORG $10\n FCB $AB\n", Mode::Boo);
    ASSERT_TRUE(result.ok()) << errorsOf(result);
    ASSERT_EQ(result.boo.size(), 257u);
    EXPECT_EQ(static_cast<std::uint8_t>(result.boo[0]), 0xFF);
    EXPECT_EQ(static_cast<std::uint8_t>(result.boo[1]), 0x86);
    EXPECT_EQ(static_cast<std::uint8_t>(result.boo[2]), 0x01);
    EXPECT_EQ(result.boo.substr(3, 14), std::string(14, '\0'));
    EXPECT_EQ(static_cast<std::uint8_t>(result.boo[1 + 0x10]), 0xAB);
    EXPECT_EQ(result.boo.substr(0x12), std::string(257 - 0x12, '\0'));
    EXPECT_FALSE(result.s19.empty());
}

TEST(Boot, ImageGrowsToTheLastByteUsed) {
    const Result result = assemble(" ORG $1FF\n FCB $77\n", Mode::Boo);
    ASSERT_TRUE(result.ok()) << errorsOf(result);
    ASSERT_EQ(result.boo.size(), 1u + 0x200);
    EXPECT_EQ(static_cast<std::uint8_t>(result.boo.back()), 0x77);
}

TEST(Boot, CodeOutsideTheBootAreaIsAnError) {
    const std::string source = " ORG $1FE\n FCB 1,2,3\n";
    const Result boo = assemble(source, Mode::Boo);
    ASSERT_EQ(boo.errors.size(), 1u);
    EXPECT_EQ(boo.errors[0].line, 2);
    EXPECT_NE(errorsOf(boo).find("$0200"), std::string::npos);
    EXPECT_EQ(boo.boo, "");
    EXPECT_EQ(boo.s19, "");
    EXPECT_TRUE(assemble(source, Mode::S19).ok());
}

TEST(Boot, RegistersOutsideTheAreaMayBeNamed) {
    const Result result = assemble(
        "REGS EQU $1000\nPORTB EQU REGS+4\n ORG 0\n STAA PORTB\n BSET 4,X,$01\n", Mode::Boo);
    EXPECT_TRUE(result.ok()) << errorsOf(result);
}

std::vector<std::string> listingLines(const std::string& listing) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < listing.size()) {
        const std::size_t end = listing.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(listing.substr(start));
            break;
        }
        lines.push_back(listing.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(Listing, ErrorsStandUnderTheirLine) {
    const Result result = assemble(" ORG $C000\n NOP\n LDAA RIEN\n NOP\n");
    const std::vector<std::string> lines = listingLines(result.listing);
    std::size_t row = 0;
    while (row < lines.size() && lines[row].find("LDAA RIEN") == std::string::npos)
        ++row;
    ASSERT_LT(row + 2, lines.size());
    EXPECT_EQ(lines[row].substr(0, 6), "     3");
    EXPECT_EQ(cp1252ToUtf8(lines[row + 1]), "***** Erreur : symbole non défini : RIEN");
    EXPECT_NE(lines[row + 2].find("     4"), std::string::npos);
}

TEST(Listing, ShowsNumberAddressBytesAndSource) {
    const Result result = assemble(" ORG $C000\nDEBUT LDX #$1234 ; charge\n");
    const std::vector<std::string> lines = listingLines(result.listing);
    bool found = false;
    for (const std::string& line : lines)
        if (line.find("DEBUT LDX") != std::string::npos) {
            found = true;
            EXPECT_EQ(line, "     2  C000  CE 12 34         DEBUT LDX #$1234 ; charge");
        }
    EXPECT_TRUE(found) << result.listing;
    EXPECT_NE(result.listing.find("DEBUT                    $C000"), std::string::npos);
}

TEST(Listing, LongDataContinuesOnFurtherRows) {
    const Result result = assemble(" ORG $10\n FCC /abcdefghijkl/\n");
    const std::vector<std::string> lines = listingLines(result.listing);
    std::size_t row = 0;
    while (row < lines.size() && lines[row].find("FCC") == std::string::npos)
        ++row;
    ASSERT_LT(row + 2, lines.size());
    EXPECT_EQ(lines[row + 1], "        0015  66 67 68 69 6A");
    EXPECT_EQ(lines[row + 2], "        001A  6B 6C");
}

TEST(Listing, KeepsWindows1252BytesAndEndsEveryLineWithCrLf) {
    const Result result = assemble("* \xE9t\xE9\r\n LDAA RIEN\r\n");
    for (std::size_t i = 0; i < result.listing.size(); ++i) {
        if (result.listing[i] == '\n') {
            EXPECT_TRUE(i > 0 && result.listing[i - 1] == '\r') << "LF seul au rang " << i;
        }
    }
    EXPECT_NE(result.listing.find("* \xE9t\xE9"), std::string::npos);
    // The French message itself is in Windows-1252 ("défini").
    EXPECT_NE(result.listing.find("d\xE9"
                                  "fini"),
              std::string::npos);
    EXPECT_NE(result.listing.find("Nombre d'erreurs : 1"), std::string::npos);
}

TEST(Listing, ShowsEquValuesAndLinesAfterEnd) {
    const Result result = assemble("PORTB EQU $1004\n END\n apres\n");
    EXPECT_NE(result.listing.find("=1004"), std::string::npos);
    EXPECT_NE(result.listing.find(" apres"), std::string::npos);
    EXPECT_TRUE(result.ok());
}

} // namespace
} // namespace asmhc11::test
