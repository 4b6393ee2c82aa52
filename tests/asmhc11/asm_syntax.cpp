// Source syntax: fields, directives, numbers, expressions, symbols and the
// errors of a line.
#include "asm_support.h"

#include <gtest/gtest.h>

namespace asmhc11::test {
namespace {

struct Program {
    const char* name;
    const char* source;
    const char* bytes; // every byte assembled, in address order
};

void PrintTo(const Program& p, std::ostream* out) {
    *out << p.name;
}

class ProgramTable : public ::testing::TestWithParam<Program> {};

TEST_P(ProgramTable, AssemblesToTheExpectedBytes) {
    const Result result = assemble(GetParam().source);
    EXPECT_EQ(errorsOf(result), "");
    EXPECT_EQ(hexOf(bytesOf(result)), GetParam().bytes);
}

const Program programs[] = {
    // Numbers and characters.
    {"Bases", " FCB $1F,%1010,@17,25,0FFH,$ff\n", "1F 0A 0F 19 FF FF"},
    {"Characters", " FCB 'A','B,' '\n", "41 42 20"},
    {"Windows1252Character", " FCB '\xE9'\n", "E9"},
    // Expressions: precedence, parentheses, left to right, the location counter.
    {"Precedence", " FCB 2+3*4,(2+3)*4,10-2-3,100/7/2\n", "0E 14 05 07"},
    {"Logic", " FCB $F0&$3C,$F0|$0F,$0F!$30,$F0&$3C|1\n", "30 FF 3F 31"},
    {"Unary", " FCB -1,-(2+3),+4,~0&$FF\n", "FF FB 04 FF"},
    {"LocationCounter", " ORG $C000\n FDB *,*+2,*/2\n", "C0 00 C0 02 60 00"},
    // Data directives and their aliases.
    {"Words", " FDB $1234,1\n DW -1\n", "12 34 00 01 FF FF"},
    {"DbString", " DB \"AB\",0\n", "41 42 00"},
    {"FccDelimiters", " FCC /a b/\n FCC \"c\"\n FCC 'd'\n FCC #e#\n", "61 20 62 63 64 65"},
    {"FccTrailingBytes", " FCC \"OK\",$0D,$0A\n", "4F 4B 0D 0A"},
    {"FccComment", " FCC /x/ le reste est un commentaire\n", "78"},
    {"ZeroBlocks", " BSZ 2\n ZMB 1\n FILL $AA,3\n", "00 00 00 AA AA AA"},
    {"OptIgnored", " OPT l\n NAM essai\n NOP\n", "01"},
    {"EndStops", " NOP\n END\n NOP\n", "01"},
    // Fields: labels with and without colon, comments of every kind.
    {"Labels", "DEBUT LDAA #1\nSUITE: LDAA #2\n  ICI: BRA ICI\nLA:BRA LA\n BRA DEBUT\n",
     "86 01 86 02 20 FE 20 FE 20 F6"},
    {"Comments", "* commentaire\n; autre\n\n   \n NOP ; fin\n NOP * aussi\n", "01 01"},
    {"TabsAsBlanks", "\tLDAA\t#1\t; tab\nX1\tEQU\t2\n\tFCB\tX1\n", "86 01 02"},
    {"SymbolsIgnoreCase", "Valeur EQU 7\n FCB VALEUR,valeur\n", "07 07"},
    {"MnemonicInColumnOneIsALabel", "NOP\nEND\n NOP\n", "01"},
    {"EqualSign", "DIX = 10\n FCB DIX\n", "0A"},
    {"MnemonicLabel", "TEST EQU 3\n FCB TEST\n", "03"},
    // Forward references and EQU chains.
    {"ForwardLabel", " ORG $C000\n LDX #FIN\nFIN RTS\n", "CE C0 03 39"},
    {"EquChainForward", "A EQU B+1\nB EQU C*2\nC EQU 3\n FCB A,B,C\n", "07 06 03"},
    {"EquOfLocation", " ORG $C010\nICI EQU *\n FDB ICI\n", "C0 10"},
    {"EquSizeOfBlock", " ORG $C000\nLONG EQU FIN-DEBUT\n LDAB #LONG\nDEBUT FCC /abc/\nFIN\n",
     "C6 03 61 62 63"},
    // Direct page when the address is known below $100 in the first pass.
    {"DirectWhenKnown", "VAR EQU $40\n LDAA VAR\n STAA VAR+1\n", "96 40 97 41"},
    {"ExtendedWhenForward", " LDAA VAR\nVAR FCB 0\n", "B6 00 03 00"},
    {"ExtendedWhenLarge", " LDAA $100\n", "B6 01 00"},
    {"ForcedDirect", " LDAA <VAR\nVAR EQU $40\n", "96 40"},
    {"ForcedExtended", " LDAA >$40\n JSR >$10\n", "B6 00 40 BD 00 10"},
    {"BitForwardDirect", " BSET REG,$01\nREG EQU $30\n", "14 30 01"},
    // Storage reservation leaves a gap.
    {"Reserve", " ORG $100\n FCB 1\n RMB 2\n DS 1\n FCB 2\n", "01 02"},
};
INSTANTIATE_TEST_SUITE_P(Source, ProgramTable, ::testing::ValuesIn(programs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Directives, ReserveMovesTheLocationCounter) {
    const Result result = assemble(" ORG $100\n FCB 1\n RMB 2\nB FCB 2\n");
    ASSERT_EQ(result.segments().size(), 2u);
    EXPECT_EQ(result.segments()[1].address, 0x103);
    EXPECT_EQ(result.byteCount, 2u);
}

TEST(Directives, EndOperandIsTheStartAddress) {
    EXPECT_EQ(assemble(" ORG $C000\nGO NOP\n END GO\n").startAddress, 0xC000);
    EXPECT_EQ(assemble(" ORG $C000\nGO NOP\n END\n").startAddress, 0);
}

TEST(Directives, LabelOnOrgTakesTheNewAddress) {
    const Result result = assemble(" ORG $10\nICI ORG $C000\n FDB ICI\n");
    EXPECT_EQ(hexOf(bytesOf(result)), "C0 00");
}

TEST(Symbols, TableIsSortedAndKeepsUndefinedOnes) {
    const Result result = assemble("ZED EQU 1\nalpha EQU 2\nBOUCLE EQU BOUCLE\n");
    ASSERT_EQ(result.symbols.size(), 3u);
    EXPECT_EQ(result.symbols[0].name, "alpha");
    EXPECT_EQ(result.symbols[1].name, "BOUCLE");
    EXPECT_FALSE(result.symbols[1].value.has_value());
    EXPECT_EQ(result.symbols[2].value, 1);
}

struct Faulty {
    const char* name;
    const char* source;
    int line;
    const char* message; // part of the French message
};

void PrintTo(const Faulty& f, std::ostream* out) {
    *out << f.name;
}

class ErrorTable : public ::testing::TestWithParam<Faulty> {};

TEST_P(ErrorTable, ReportsTheErrorOnItsLine) {
    const Result result = assemble(GetParam().source);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.errors[0].line, GetParam().line) << errorsOf(result);
    EXPECT_NE(errorsOf(result).find(GetParam().message), std::string::npos) << errorsOf(result);
    EXPECT_EQ(result.s19, "");
}

const Faulty faults[] = {
    {"Undefined", " NOP\n LDAA RIEN\n", 2, "symbole non défini : RIEN"},
    {"Duplicate", "A NOP\nA NOP\n", 2, "symbole déjà défini : A"},
    {"DuplicateCaseBlind", "Boucle NOP\nBOUCLE NOP\n", 2, "symbole déjà défini"},
    {"UnknownInstruction", " NOP\n\n LDZ #1\n", 3, "instruction inconnue : LDZ"},
    {"BranchTooFar", " BRA LOIN\n BSZ 200\nLOIN NOP\n", 1, "hors de portée"},
    {"BranchTooFarBack", "ICI BSZ 127\n BRA ICI\n", 2, "déplacement de -129"},
    {"BitBranchTooFar", " BRSET $10,$01,LOIN\n BSZ 128\nLOIN NOP\n", 1, "hors de portée"},
    {"ImmediateStore", " STAA #1\n", 1, "mode immédiat impossible pour STAA"},
    {"ImmediateStoreY", " STY #1\n", 1, "mode immédiat impossible pour STY"},
    {"ForcedDirectJump", " JMP <$10\n", 1, "mode direct impossible pour JMP"},
    {"ForcedDirectTooLarge", " LDAA <$1234\n", 1, "page directe"},
    {"ByteTooLarge", " LDAA #256\n", 1, "8 bits : 256"},
    {"WordTooLarge", " LDX #$10000\n", 1, "16 bits"},
    {"FcbTooLarge", " FCB 1,300\n", 1, "8 bits : 300"},
    {"OffsetTooLarge", " LDAA 256,X\n", 1, "déplacement indexé"},
    {"OffsetNegative", " LDAA -1,Y\n", 1, "déplacement indexé"},
    {"BadIndexRegister", " LDAA 5,Z\n", 1, "registre d'index"},
    {"BitDirectTooLarge", " BSET $100,$01\n", 1, "page directe"},
    {"MissingMask", " BSET $10\n", 1, "masque manquant"},
    {"MissingBranchTarget", " BRCLR 0,X,$01\n", 1, "destination du branchement"},
    {"MissingOperand", " LDAA\n", 1, "opérande manquant"},
    {"EquWithoutLabel", " EQU 5\n", 1, "EQU sans étiquette"},
    {"OrgForward", " ORG DEBUT\nDEBUT EQU $100\n", 1, "première passe"},
    {"RmbForward", " RMB N\nN EQU 2\n", 1, "première passe"},
    {"NegativeCount", " BSZ -1\n", 1, "quantité négative"},
    {"DivisionByZero", " FCB 1/0\n", 1, "division par zéro"},
    {"BadDigit", " FCB %102\n", 1, "nombre incorrect : %102"},
    {"BadDecimal", " FCB 12AB\n", 1, "nombre incorrect"},
    {"UnterminatedFcc", " FCC /abc\n", 1, "chaîne non terminée"},
    {"UnterminatedFcb", " FCB \"abc\n", 1, "chaîne non terminée"},
    {"MissingParenthesis", " FCB (1+2\n", 1, "parenthèse fermante"},
    {"Overlap", " ORG $10\n FCB 1,2\n ORG $11\n FCB 3\n", 4, "adresse déjà occupée"},
    {"PastTheTop", " ORG $FFFF\n FDB 1\n", 2, "$FFFF"},
    {"BadLabel", "1ABC NOP\n", 1, "étiquette incorrecte"},
    {"EquCycle", "A EQU B\nB EQU A\n", 1, "symbole non défini : B"},
};
INSTANTIATE_TEST_SUITE_P(Source, ErrorTable, ::testing::ValuesIn(faults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Errors, ALineInErrorKeepsItsPlaceForTheNextLabels) {
    // The faulty LDAA still takes two bytes, so SUITE does not move.
    const Result result = assemble(" ORG $C000\n LDAA #999\nSUITE NOP\n");
    ASSERT_EQ(result.errors.size(), 1u);
    ASSERT_EQ(result.symbols.size(), 1u);
    EXPECT_EQ(result.symbols[0].value, 0xC002);
}

TEST(Errors, ABadOperandKeepsTheSizeOfItsMode) {
    // The mode alone gives the size: the labels after stay where they belong.
    const Result result = assemble(" LDAA #(1\nA NOP\n LDX 5+,Y\nB NOP\n BSET $10,#%2\nC NOP\n");
    ASSERT_EQ(result.errors.size(), 3u) << errorsOf(result);
    ASSERT_EQ(result.symbols.size(), 3u);
    EXPECT_EQ(result.symbols[0].value, 2);
    EXPECT_EQ(result.symbols[1].value, 6);
    EXPECT_EQ(result.symbols[2].value, 10);
}

TEST(Errors, EveryLineReportsItsOwnError) {
    const Result result = assemble(" LDAA #999\n NOP\n LDZ\n FCB RIEN\n");
    ASSERT_EQ(result.errors.size(), 3u) << errorsOf(result);
    EXPECT_EQ(result.errors[0].line, 1);
    EXPECT_EQ(result.errors[1].line, 3);
    EXPECT_EQ(result.errors[2].line, 4);
}

TEST(Errors, BranchExactlyAtTheLimitsIsAccepted) {
    EXPECT_TRUE(assemble(" BRA LOIN\n BSZ 127\nLOIN NOP\n").ok());
    EXPECT_TRUE(assemble("ICI BSZ 126\n BRA ICI\n").ok());
}

} // namespace
} // namespace asmhc11::test
