// The assembler against GNU's binutils: every opcode as objdump reads it, and
// whole generated programs assembled by both, compared as memory images.
#include "asm_support.h"
#include "generated_program.h"
#include "gnu_tools.h"
#include "hc11/instruction_set.h"

#include <gtest/gtest.h>

#include <map>

namespace asmhc11::test {
namespace {

using hc11::test::gnuMissing;
using hc11::test::gnuToolsPresent;
using hc11::test::TempFolder;

// objdump's operands in Motorola syntax: "*0x10 <x+0x10>, #0x01" -> "<$10,#$01".
std::string motorolaOperands(std::string text) {
    for (std::size_t open; (open = text.find(" <")) != std::string::npos;)
        text.erase(open, text.find('>', open) - open + 1);
    for (std::size_t at; (at = text.find("0x0x")) != std::string::npos;)
        text.erase(at, 2);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "0x") == 0) {
            out += '$';
            ++i;
        } else if (text[i] == '*' && (i == 0 || text[i - 1] == ' ')) {
            out += '<'; // GNU's direct page mark, our forced direct
        } else if (text[i] == ' ') {
            continue;
        } else {
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        }
    }
    return out;
}

TEST(GnuOracle, EveryOpcodeReadByObjdumpAssemblesToItsBytes) {
    if (!gnuToolsPresent())
        GTEST_SKIP() << gnuMissing;
    TempFolder folder;
    int compared = 0;
    for (const std::uint8_t prebyte : {0x00, 0x18, 0x1A, 0xCD}) {
        const std::string image = hc11::test::pageImage(prebyte);
        const auto file = folder / "page.bin";
        hc11::test::writeFile(file, image);
        const auto dumped = hc11::test::objdump(file);
        ASSERT_TRUE(dumped.has_value());
        std::string source;
        std::vector<hc11::test::DumpedInstruction> legal;
        for (const auto& d : *dumped) {
            if (d.address % 8 != 0 || d.mnemonic == ".BYTE")
                continue;
            const std::string mnemonic = d.mnemonic == "BGND" ? "TEST" : d.mnemonic;
            char org[32];
            std::snprintf(org, sizeof org, " ORG $%04X\n", d.address);
            source += org;
            source += " " + mnemonic + " " + motorolaOperands(d.operands) + "\n";
            legal.push_back(d);
        }
        const Result result = assemble(source);
        ASSERT_TRUE(result.ok()) << errorsOf(result).substr(0, 2000);
        for (const auto& d : legal) {
            const auto at = static_cast<std::size_t>(d.address);
            const std::vector<std::uint8_t> expected(image.begin() + d.address,
                                                     image.begin() + d.address + d.length);
            const std::vector<std::uint8_t> ours(result.memory.begin() + at,
                                                 result.memory.begin() + at + d.length);
            EXPECT_EQ(hexOf(ours), hexOf(expected)) << d.mnemonic << " " << d.operands;
            EXPECT_FALSE(at + d.length < result.used.size() && result.used[at + d.length])
                << d.mnemonic << " : trop d'octets";
            ++compared;
        }
    }
    EXPECT_EQ(compared, 308);
}

// The memory image of S-records: every S1 data byte at its address.
std::map<unsigned, std::uint8_t> imageOfSRecords(const std::string& text) {
    std::map<unsigned, std::uint8_t> image;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() < 10 || line.compare(0, 2, "S1") != 0)
            continue;
        const unsigned count = std::stoul(line.substr(2, 2), nullptr, 16);
        unsigned address = std::stoul(line.substr(4, 4), nullptr, 16);
        for (unsigned i = 0; i + 3 < count; ++i)
            image[address++] =
                static_cast<std::uint8_t>(std::stoul(line.substr(8 + 2 * i, 2), nullptr, 16));
    }
    return image;
}

TEST(GnuOracle, GeneratedProgramsGiveTheSameMemoryImage) {
    if (!gnuToolsPresent())
        GTEST_SKIP() << gnuMissing;
    TempFolder folder;
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        const GeneratedProgram program = generateProgram(4000, seed);
        SCOPED_TRACE("graine " + std::to_string(seed));
        const Result ours = assemble(program.motorola);
        ASSERT_TRUE(ours.ok()) << errorsOf(ours).substr(0, 2000);

        hc11::test::writeFile(folder / "p.s", program.gnu);
        const auto as = hc11::test::runCommand("m68hc11-as -o \"" + (folder / "p.o").string() +
                                               "\" \"" + (folder / "p.s").string() + "\"");
        ASSERT_TRUE(as.has_value()) << "m68hc11-as a échoué";
        ASSERT_TRUE(hc11::test::runCommand("m68hc11-objcopy -O srec \"" +
                                           (folder / "p.o").string() + "\" \"" +
                                           (folder / "p.srec").string() + "\""));
        const auto gnu = imageOfSRecords(hc11::test::readFile(folder / "p.srec"));
        ASSERT_EQ(gnu.size(), program.bytes);
        ASSERT_EQ(ours.byteCount, program.bytes);
        int differences = 0;
        for (const auto& [address, byte] : gnu) {
            if (ours.memory[address] != byte && ++differences <= 10)
                ADD_FAILURE() << "adresse " << address << " : " << int(ours.memory[address])
                              << " au lieu de " << int(byte);
        }
        EXPECT_EQ(differences, 0);
    }
}

} // namespace
} // namespace asmhc11::test
