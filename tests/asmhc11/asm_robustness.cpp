// Hostile input: every source ends with a result or French errors, never a
// crash or a hang.
#include "asm_support.h"

#include <gtest/gtest.h>

#include <random>

namespace asmhc11::test {
namespace {

struct Hostile {
    const char* name;
    std::string source;
    const char* message; // part of the first error, or "" when it must assemble
};

std::vector<Hostile> hostileSources() {
    std::string chainBackwards;
    for (int i = 0; i < 3000; ++i)
        chainBackwards += "S" + std::to_string(i) + " EQU S" + std::to_string(i + 1) + "+1\n";
    chainBackwards += "S3000 EQU 0\n FDB S0\n";
    // Each link names one defined earlier, still unknown: resolution goes 3000 deep.
    std::string chainDeep = "S3000 EQU LBL\n";
    for (int i = 2999; i >= 0; --i)
        chainDeep += "S" + std::to_string(i) + " EQU S" + std::to_string(i + 1) + "+1\n";
    chainDeep += "LBL FDB S0\n";
    std::string doubling = "D0 EQU D0\n";
    for (int i = 1; i < 200; ++i)
        doubling += "D" + std::to_string(i) + " EQU D" + std::to_string(i - 1) + "+D" +
                    std::to_string(i - 1) + "\n";
    return {
        {"HugeHex", " FCB $FFFFFFFFFFFFFFFFFFFFFFFF\n", "nombre trop grand"},
        {"HugeDecimal", " LDAA #99999999999999999999999999\n", "nombre trop grand"},
        {"ProductOverflow", " FDB $FFFF*$FFFF*$FFFF\n", "valeur trop grande"},
        {"UnterminatedCharacter", " LDAA #'", "chaîne non terminée"},
        {"UnterminatedFccAtEnd", " FCC \"", "chaîne non terminée"},
        {"DeepParentheses",
         " FCB " + std::string(100000, '(') + "1" + std::string(100000, ')') + "\n",
         "trop imbriquée"},
        {"DeepMinus", " FCB " + std::string(100000, '-') + "1\n", "trop imbriquée"},
        {"LongComment", "* " + std::string(100000, 'x') + "\n NOP\n", ""},
        {"LongLabel", std::string(100000, 'L') + " NOP\n", ""},
        {"LongOperand", " LDAA " + std::string(100000, '1') + "\n", "nombre trop grand"},
        {"LongFcb", " FCB " + std::string(100000, ',') + "\n", "valeur manquante"},
        {"LongFcc", " FCC /" + std::string(60000, 'a') + "/\n", ""},
        {"FccPastTheTop", " ORG $FFF0\n FCC /" + std::string(100, 'a') + "/\n", "$FFFF"},
        {"BszPastTheTop", " ORG $F000\n BSZ $FFFFFFFF\n", "$FFFF"},
        {"RmbPastTheTop", " RMB $FFFF\n RMB 2\n NOP\n", "$FFFF"},
        {"EquSelf", "A EQU A+1\n FCB A\n", "symbole non défini"},
        {"EquLongCycle", "A EQU B\nB EQU C\nC EQU A\n LDAA A\n", "symbole non défini"},
        {"EquChainBackwards", chainBackwards, ""},
        {"EquChainDeep", chainDeep, ""},
        {"EquDoublingOnACycle", doubling, "symbole non défini"},
        {"OnlyLineEnds", std::string(100000, '\n'), ""},
        {"LoneCarriageReturns", " NOP\r NOP\r", ""},
        {"NulBytes", std::string("\0\0 NOP\0\n \0\n", 11), "étiquette incorrecte"},
        {"Empty", "", ""},
    };
}

TEST(Robustness, HostileSourcesEndWithAResult) {
    for (const Hostile& h : hostileSources()) {
        EXPECT_FALSE(assembleSource(h.source, Mode::Boo).listing.empty()) << h.name;
        const Result result = assembleSource(h.source, Mode::S19);
        EXPECT_FALSE(result.listing.empty()) << h.name;
        if (*h.message == '\0') {
            EXPECT_TRUE(result.ok()) << h.name << "\n" << errorsOf(result).substr(0, 500);
        } else {
            ASSERT_FALSE(result.ok()) << h.name;
            EXPECT_NE(errorsOf(result).find(h.message), std::string::npos)
                << h.name << "\n"
                << errorsOf(result).substr(0, 500);
        }
    }
}

TEST(Robustness, LongEquChainsResolveEveryLink) {
    for (const Hostile& h : hostileSources()) {
        if (std::string(h.name).rfind("EquChain", 0) != 0)
            continue;
        const Result result = assembleSource(h.source, Mode::S19);
        ASSERT_TRUE(result.ok()) << h.name << errorsOf(result).substr(0, 500);
        EXPECT_EQ(hexOf(bytesOf(result)), "0B B8") << h.name;
    }
}

TEST(Robustness, DetailsInMessagesAreShortAndPrintable) {
    const Result result = assembleSource(" " + std::string(5000, 'Q') + "\x01\n", Mode::S19);
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_LT(result.errors[0].message.size(), 100u);
    for (const char c : result.errors[0].message)
        EXPECT_GE(static_cast<unsigned char>(c), 0x20);
}

// Random bytes and random mixes of real tokens: a cheap fuzz that runs on every build.
TEST(Robustness, RandomSourcesNeverCrash) {
    std::mt19937 random(20240611);
    const std::vector<std::string> tokens = {
        " ",   "\t",    "\r\n", "\n",  "LDAA", "BRSET", "FCC",  "FCB", "EQU", "ORG", "END",
        "RMB", "#",     "$",    "%",   "@",    "'",     "\"",   ",",   "X",   "Y",   "*",
        "(",   ")",     "+",    "-",   "/",    "&",     "|",    "<",   ">",   ";",   ":",
        "LBL", "$FFFF", "0",    "255", "BSZ",  "FILL",  "BSET", "BRA", "JMP", "CPD", "\xE9",
    };
    for (int round = 0; round < 300; ++round) {
        std::string source;
        if (round % 3 == 0) {
            for (int i = 0; i < 2000; ++i)
                source += static_cast<char>(random() & 0xFF);
        } else {
            for (int i = 0; i < 400; ++i)
                source += tokens[random() % tokens.size()];
        }
        const Result result = assembleSource(source, round % 2 ? Mode::Boo : Mode::S19);
        EXPECT_FALSE(result.listing.empty());
        EXPECT_EQ(result.ok(), !result.s19.empty());
    }
}

} // namespace
} // namespace asmhc11::test
