// Operands written with blanks inside ("RegBase + oSCSR", "* - 2") against
// comments that start with an operator ("#$20 - espace"): the value each line
// gets, and the warning where the reading could have gone the other way.
#include "asm_support.h"
#include "asmhc11/syntax.h"

#include <gtest/gtest.h>

#include <set>

namespace asmhc11::test {
namespace {

struct Read {
    const char* name;
    const char* source;
    const char* bytes;
};

void PrintTo(const Read& r, std::ostream* out) {
    *out << r.name;
}

class ContinuedOperand : public ::testing::TestWithParam<Read> {};

TEST_P(ContinuedOperand, GivesTheValueItsAuthorMeantWithoutAWord) {
    const Result result = assemble(GetParam().source);
    EXPECT_EQ(errorsOf(result), "");
    EXPECT_TRUE(result.warnings.empty()) << cp1252ToUtf8(result.warnings[0].message);
    EXPECT_EQ(hexOf(bytesOf(result)), GetParam().bytes);
}

const Read continued[] = {
    {"RegisterOffset", "RegBase EQU $1000\noSCSR EQU $2E\nSCSR  EQU  RegBase + oSCSR\n FDB SCSR\n",
     "10 2E"},
    {"LocationCounterThenOperator", " ORG $C010\nswi_jmp  EQU  * - 2\n FDB swi_jmp\n", "C0 0E"},
    {"ImmediateAddress", " ORG $C000\nTABLE FCB 7\n LDX #TABLE + 2\n", "07 CE C0 02"},
    {"SignGluedToItsTerm", " LDAA #1 +2\n", "86 03"},
    {"ForwardSymbol", " LDX #FIN - 1\nFIN RTS\n", "CE 00 02 39"},
    {"SeveralOperators", "A EQU 4\n FCB A*2 + 1 - A / 2\n", "07"},
    {"CommaAndIndex", "DEP EQU 3\n LDAA DEP + 1,X\n LDAA DEP + 1, Y\n", "A6 04 18 A6 04"},
    {"DataList", "A EQU 1\n FCB A + 1, A + 2\n FDB A << 8 | 2\n", "02 03 01 02"},
    {"ShiftsAndExclusiveOr", " FCB 1 << 3, $F0 ^ $FF, $80 >> 7, 1 + 1 << 2\n", "08 0F 01 08"},
    {"UnfinishedOperatorGoesOn", "A EQU $1000\n LDAA A+ $2E commentaire\n", "B6 10 2E"},
    {"ParenthesesGoOn", " LDAA #( 1 + 2 ) fin\n", "86 03"},
    {"Condition", "T EQU 2\n IF T == 2 && T > 1\n FCB 1\n ENDIF\n", "01"},
    {"StarCommentStaysAComment", " LDX #$1000   * registres\n", "CE 10 00"},
    {"SemicolonComment", "A EQU 1\n LDAA #A ; + 2\n", "86 01"},
    {"ReserveCount", "N EQU 2\n ORG $10\n RMB N + 1\n FDB *\n", "00 13"},
    {"BranchTarget", "ICI NOP\n BRA ICI + 1\n", "01 20 FE"},
    {"BitFields", "REG EQU $10\n BSET REG + 1, $80\n BSET REG + 1 $80\n BCLR $10 $80 -1\n",
     "14 11 80 14 11 80 15 10 80"},
    // A comment without an operator in front stays a comment, as before.
    {"WordsAfterTheOperand", " LDAA #$20 espace\n INX - suivant\n FCB 1,2 deux\n",
     "86 20 08 01 02"},
};
INSTANTIATE_TEST_SUITE_P(Blanks, ContinuedOperand, ::testing::ValuesIn(continued),
                         [](const auto& info) { return std::string(info.param.name); });

struct Doubtful {
    const char* name;
    const char* source;
    const char* bytes;
    int line;
    const char* warning;
};

void PrintTo(const Doubtful& d, std::ostream* out) {
    *out << d.name;
}

class DoubtfulOperand : public ::testing::TestWithParam<Doubtful> {};

TEST_P(DoubtfulOperand, TakesOneReadingAndSaysWhichInAWarning) {
    const Result result = assemble(GetParam().source);
    EXPECT_EQ(errorsOf(result), "");
    EXPECT_EQ(hexOf(bytesOf(result)), GetParam().bytes);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0].line, GetParam().line);
    EXPECT_EQ(cp1252ToUtf8(result.warnings[0].message), GetParam().warning);
    EXPECT_FALSE(result.s19.empty());
    EXPECT_NE(result.listing.find(result.warnings[0].message), std::string::npos);
}

const Doubtful doubtful[] = {
    {"CommentAfterAnOperator", " NOP\n LDAA #$20 - espace\n", "01 86 20", 2,
     "opérande lu « #$20 » et non « #$20 - espace » : « espace » n'est ni un nombre ni un "
     "symbole du programme, la suite est un commentaire"},
    {"NotANumber", " LDAA #$20 - 1ere lettre\n", "86 20", 1,
     "opérande lu « #$20 » et non « #$20 - 1ere » : « 1ere » n'est ni un nombre ni un symbole "
     "du programme, la suite est un commentaire"},
    {"WordsAfterTheContinuation", " LDAB #2 + 1 pour le z\xE9ro\n", "C6 03", 1,
     "opérande lu « #2 + 1 » et non « #2 » : l'expression continue après les blancs, « pour le "
     "zéro » est un commentaire"},
    // The first pass alone reads a condition: its warning still stands on its line.
    {"Condition", "T EQU 1\n IF T == inconnu\n FCB 1\n ENDIF\n", "01", 2,
     "opérande lu « T » et non « T == inconnu » : « inconnu » n'est ni un nombre ni un "
     "symbole du programme, la suite est un commentaire"},
    {"LastFieldOfABitInstruction", " BRSET $10 $01 * - marque\n", "12 10 01 FC", 1,
     "opérande lu « * » et non « * - marque » : « marque » n'est ni un nombre ni un symbole "
     "du programme, la suite est un commentaire"},
};
INSTANTIATE_TEST_SUITE_P(Blanks, DoubtfulOperand, ::testing::ValuesIn(doubtful),
                         [](const auto& info) { return std::string(info.param.name); });

// The reading alone, as the colours use it without the program's symbols.
TEST(OperandReading, EndsWhereTheAssemblerEndsIt) {
    const std::set<std::string> known = {"A", "RegBase"};
    const SymbolTest isSymbol = [&](std::string_view name) {
        return known.contains(std::string(name));
    };
    struct Case {
        const char* rest;
        const char* operand;
        OperandReading::Doubt doubt;
    };
    using D = OperandReading::Doubt;
    const Case cases[] = {
        {"  RegBase + $2E  ; note", "RegBase + $2E", D::None},
        {" A - b", "A", D::ReadAsComment},
        {" A + 'x'", "A + 'x'", D::None},
        {" 'a + 1", "'a + 1", D::None},
        {" '+ A", "'+", D::None}, // a character, not an operator
        {" A ~ 1", "A", D::None}, // no binary operator
        {" A +", "A", D::None},   // no term after the operator
        {" A + 1 deux", "A + 1", D::ContinuedBeforeWords},
        {" A + 1 * trois", "A + 1", D::None},
        {" A == 1 || A != 2 && A >= 0", "A == 1 || A != 2 && A >= 0", D::None},
        {" \"a b\" + 1", "\"a b\" + 1", D::None},
        {" 5, X reste", "5, X", D::None},
        {"", "", D::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rest);
        const OperandReading reading = readOperand(c.rest, isSymbol);
        EXPECT_EQ(reading.operand, c.operand);
        EXPECT_EQ(reading.doubt, c.doubt);
    }
}

TEST(OperandReading, NamesAndFileNamesNeverContinue) {
    EXPECT_EQ(operandWord(" DEBUG + 1"), "DEBUG");
    EXPECT_EQ(operandWord(" c, l  options"), "c, l");
    EXPECT_EQ(fileNameField(" \"mes defs.inc\" x").name, "mes defs.inc");
    EXPECT_EQ(fileNameField(" <defs.inc> x").written, "<defs.inc>");
    EXPECT_TRUE(fileNameField(" \"defs.inc").unterminated);
    EXPECT_EQ(fileNameField(" defs.inc - x").name, "defs.inc");
}

TEST(Directives, EveryNameOfTheTableIsFoundInAnyCaseAndOnlyItsOwn) {
    for (const DirectiveSyntax& d : directives()) {
        SCOPED_TRACE(std::string(d.name));
        EXPECT_EQ(findDirective(d.name), &d);
        std::string lower(d.name);
        for (char& c : lower)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        EXPECT_EQ(findDirective(lower), &d);
        EXPECT_EQ(findDirective("#" + std::string(d.name)) != nullptr, d.hashForm);
    }
    EXPECT_EQ(findDirective("LDAA"), nullptr);
    EXPECT_EQ(findDirective("INCLUDES"), nullptr);
    EXPECT_EQ(findDirective("#"), nullptr);
}

} // namespace
} // namespace asmhc11::test
