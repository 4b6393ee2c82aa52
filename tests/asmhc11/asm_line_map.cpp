// Where every byte came from: the line map of a program with included files,
// conditions and reserved space, checked against the listing; and a source
// assembled from disk as the program reads it.
#include "asm_support.h"
#include "asmhc11/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

namespace asmhc11::test {
namespace {

namespace fs = std::filesystem;

Result assembleWithFiles(const std::string& source, std::map<std::string, std::string> files) {
    Options options;
    options.path = "prog/main.asm";
    options.readFile = [files](std::string path) -> std::optional<std::string> {
        std::replace(path.begin(), path.end(), '\\', '/');
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt : std::optional(it->second);
    };
    return assembleSource(source, options);
}

// A source line of the listing: its number, address and every byte it shows
// (the rows that carry more than five bytes included).
struct Row {
    int number = 0;
    std::optional<unsigned> address;
    std::size_t bytes = 0;
};

std::vector<Row> rowsOf(const std::string& listing) {
    std::vector<Row> rows;
    std::size_t start = 0;
    while (start < listing.size()) {
        std::size_t end = listing.find("\r\n", start);
        if (end == std::string::npos)
            end = listing.size();
        const std::string line = listing.substr(start, end - start);
        start = end + 2;
        if (line.size() < 14 || line[6] != ' ' || line[7] != ' ')
            continue;
        const std::string number = line.substr(0, 6);
        const bool continuation = number.find_first_not_of(' ') == std::string::npos;
        if (!continuation && number.find_first_not_of(" 0123456789") != std::string::npos)
            continue;
        if (continuation && rows.empty())
            continue;
        if (!continuation) {
            rows.push_back({std::stoi(number), std::nullopt, 0});
            if (line.substr(8, 4).find_first_not_of("0123456789ABCDEF") == std::string::npos)
                rows.back().address = std::stoul(line.substr(8, 4), nullptr, 16);
        }
        // Bytes stand two digits and a blank each, from column 14, five at most.
        for (std::size_t b = 14; b + 2 <= line.size() && b < 14 + 15; b += 3) {
            const std::string hex = line.substr(b, 2);
            if (hex.find_first_not_of("0123456789ABCDEF") != std::string::npos ||
                (b + 2 < line.size() && line[b + 2] != ' '))
                break;
            ++rows.back().bytes;
        }
    }
    return rows;
}

struct Expected {
    const char* file;
    int line;
    unsigned address;
    unsigned size;
    bool reserved;
};

TEST(LineMap, EveryLineThatEmitsOrReservesBytesAgainstTheListing) {
    const std::string main = " ORG $C000\n"             // 1
                             "DEBUT LDAA #1\n"          // 2
                             " INCLUDE \"lib/a.inc\"\n" // 3
                             " IF 0\n"                  // 4
                             " FCB 1,2,3\n"             // 5 skipped
                             " ELSE\n"                  // 6
                             " FCB 4\n"                 // 7
                             " ENDIF\n"                 // 8
                             "TAMPON RMB 4\n"           // 9
                             "ICI\n"                    // 10 a label alone
                             " FCC /abcdefgh/\n"        // 11 more than one row
                             " INCLUDE \"lib/a.inc\"\n" // 12 the same file again
                             " ORG $FFFE\n"             // 13
                             " FDB DEBUT\n"             // 14
                             " END\n"                   // 15
                             " NOP\n";                  // 16 after END
    const Result result =
        assembleWithFiles(main, {{"prog/lib/a.inc", "* bibliothèque\n NOP\n IFNDEF VAL\nVAL EQU 1\n"
                                                    " ENDIF\n BSZ 2\n"}});
    ASSERT_EQ(errorsOf(result), "");

    ASSERT_EQ(result.lineMap.files.size(), 2u);
    EXPECT_EQ(result.lineMap.files[0], "prog/main.asm");
    std::string included = result.lineMap.files[1];
    std::replace(included.begin(), included.end(), '\\', '/');
    EXPECT_EQ(included, "prog/lib/a.inc");

    const Expected expected[] = {
        {"main", 2, 0xC000, 2, false}, {"inc", 2, 0xC002, 1, false}, {"inc", 6, 0xC003, 2, false},
        {"main", 7, 0xC005, 1, false}, {"main", 9, 0xC006, 4, true}, {"main", 11, 0xC00A, 8, false},
        {"inc", 2, 0xC012, 1, false},  {"inc", 6, 0xC013, 2, false}, {"main", 14, 0xFFFE, 2, false},
    };
    const std::vector<LineMapEntry>& entries = result.lineMap.entries;
    ASSERT_EQ(entries.size(), std::size(expected));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].file, std::string(expected[i].file) == "main" ? 0 : 1);
        EXPECT_EQ(entries[i].line, expected[i].line);
        EXPECT_EQ(entries[i].address, expected[i].address);
        EXPECT_EQ(entries[i].size, expected[i].size);
        EXPECT_EQ(entries[i].reserved, expected[i].reserved);
        // Emitted bytes are in the image, reserved ones are not.
        for (unsigned a = entries[i].address; a < entries[i].address + entries[i].size; ++a)
            EXPECT_EQ(result.used[a], !entries[i].reserved) << a;
    }

    // The listing, in the same order, shows each of them at that address with
    // as many bytes (none for reserved space).
    const std::vector<Row> rows = rowsOf(result.listing);
    std::size_t next = 0;
    for (const Row& row : rows) {
        if (next < entries.size() && row.number == entries[next].line && row.address &&
            *row.address == entries[next].address) {
            EXPECT_EQ(row.bytes, entries[next].reserved ? 0u : entries[next].size)
                << "ligne " << row.number;
            ++next;
        }
    }
    EXPECT_EQ(next, entries.size());
    // And every byte of the image belongs to one line.
    std::size_t mapped = 0;
    for (const LineMapEntry& entry : entries)
        mapped += entry.reserved ? 0 : entry.size;
    EXPECT_EQ(mapped, result.byteCount);
}

TEST(LineMap, FindsTheLineOfAnAddressAndTheAddressesOfALine) {
    const Result result = assembleWithFiles(" ORG $100\n LDX #$1234\n RMB 2\n INCLUDE x.inc\n",
                                            {{"prog/x.inc", " NOP\n"}});
    ASSERT_TRUE(result.ok());
    const LineMap& map = result.lineMap;
    struct Probe {
        unsigned address;
        int line; // 0: no line
    };
    for (const Probe p : {Probe{0xFF, 0}, Probe{0x100, 2}, Probe{0x102, 2}, Probe{0x103, 3},
                          Probe{0x104, 3}, Probe{0x105, 1}, Probe{0x106, 0}}) {
        SCOPED_TRACE(p.address);
        const LineMapEntry* entry = map.find(static_cast<std::uint16_t>(p.address));
        EXPECT_EQ(entry ? entry->line : 0, p.line);
    }
    EXPECT_EQ(map.find(0x105)->file, 1);
    ASSERT_EQ(map.entriesOf("prog/main.asm", 2).size(), 1u);
    EXPECT_EQ(map.entriesOf("prog/main.asm", 2)[0]->address, 0x100);
    EXPECT_TRUE(map.entriesOf("prog/main.asm", 1).empty()); // ORG takes no byte
    EXPECT_EQ(map.entriesOf(map.files[1], 1).size(), 1u);
}

using AssembleFile = asmhc11::test::SourceFolder;

// In Kavrel's own process: the same image, and the files named as the
// program names them in its messages.
TEST_F(AssembleFile, ReadsTheSourceAndItsIncludesAsTheProgramDoes) {
    write(dir_ / "prog.asm", " ORG $C000\r\n INCLUDE \"inc/defs.inc\"\r\n LDAA #VAL\r\n");
    write(dir_ / "inc" / "defs.inc", "VAL EQU 5\n NOP\n LDAB RIEN\n");
    const std::string source = pathToUtf8(dir_ / "prog.asm");
    const Result result = assembleFile(source, Mode::S19);
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_EQ(result.errors[0].file, pathToUtf8(dir_ / "inc" / "defs.inc"));
    EXPECT_EQ(result.errors[0].line, 3);
    ASSERT_EQ(result.lineMap.files.size(), 2u);
    EXPECT_EQ(result.lineMap.files[0], source);
    EXPECT_EQ(result.lineMap.files[1], result.errors[0].file);

    write(dir_ / "inc" / "defs.inc", "VAL EQU 5\n NOP\n");
    const Result fixed = assembleFile(source, Mode::S19);
    ASSERT_TRUE(fixed.ok());
    // Each file's text as it was read, kept with the map: what is on disk
    // later does not change what the bytes came from.
    write(dir_ / "inc" / "defs.inc", "* autre chose\n");
    ASSERT_EQ(fixed.lineMap.texts.size(), 2u);
    EXPECT_EQ(fixed.lineMap.texts[0], " ORG $C000\r\n INCLUDE \"inc/defs.inc\"\r\n LDAA #VAL\r\n");
    EXPECT_EQ(fixed.lineMap.texts[1], "VAL EQU 5\n NOP\n");
    EXPECT_EQ(hexOf(bytesOf(fixed)), "01 86 05");
    EXPECT_NE(fixed.listing.find("prog.asm"), std::string::npos); // the title, as the program's
}

TEST_F(AssembleFile, AnUnreadableSourceIsOneErrorOnLineZero) {
    for (const fs::path& path : {dir_ / "absent.asm", dir_ / "inc"}) {
        const Result result = assembleFile(pathToUtf8(path), Mode::Boo);
        ASSERT_EQ(result.diagnostics.size(), 1u);
        EXPECT_EQ(result.errors[0].line, 0);
        EXPECT_EQ(result.errors[0].file, pathToUtf8(path));
        EXPECT_NE(cp1252ToUtf8(result.errors[0].message).find("impossible de lire"),
                  std::string::npos);
        EXPECT_TRUE(result.lineMap.entries.empty());
        EXPECT_TRUE(result.s19.empty());
    }
}

} // namespace
} // namespace asmhc11::test
