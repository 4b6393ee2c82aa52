// The dialects of sources written for older assemblers: labels in column 1,
// '&' decimals, stray '#', comments after operands, conditions, includes,
// listing options; and the messages they give.
#include "asm_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

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

class DialectTable : public ::testing::TestWithParam<Program> {};

TEST_P(DialectTable, AssemblesToTheExpectedBytes) {
    const Result result = assemble(GetParam().source);
    EXPECT_EQ(errorsOf(result), "");
    EXPECT_EQ(hexOf(bytesOf(result)), GetParam().bytes);
}

const Program dialects[] = {
    // A word in column 1 is a label, whatever it spells.
    {"MnemonicsAsLabels", "dec DECA\nrti NOP\nloop BRA loop\n JMP rti\n JMP dec\n",
     "4A 01 20 FE 7E 00 01 7E 00 00"},
    {"EndAloneInColumnOneIsALabel", " NOP\nend\n BRA end\n", "01 20 FE"},
    {"DirectiveAsLabel", "org NOP\n FDB org\n", "01 00 00"},
    // '&' as a decimal prefix.
    {"AmpersandDecimal", " LDAA #&53\n RMB &2\n FCB &20,&255&&15\n", "86 35 14 01"},
    // A '#' where no immediate value exists is the value it prefixes.
    {"StrayHashData", "begin NOP\n FDB #begin\nPORTA EQU #$1234\n FDB PORTA\n", "01 00 00 12 34"},
    {"StrayHashInsideImmediate", "a EQU 1\nb EQU 2\n CPY #a+#b\n", "18 8C 00 03"},
    {"StrayHashJumpsAreExtended", " ORG $10\nstart NOP\n JMP #start\n JSR #start\n",
     "01 7E 00 10 BD 00 10"},
    // Bit instructions: commas, blanks, and the mask without '#'.
    {"BitForms", " BRCLR 0,X,#$01,*\n brclr $10,X #$20 *\n BSET $10,X $10\n BCLR $20 $01\n",
     "1F 00 01 FC 1F 10 20 FC 1C 10 10 15 20 01"},
    // Anything after a complete operand is a comment, after END too.
    {"CommentsAfterOperands", " LDAA #1 charge A\n FCB 1,2 deux octets\n INX et voila\n",
     "86 01 01 02 08"},
    {"EndWithAComment", " ORG $C000\nGO NOP\n END   Tells the assembler we are done\n", "01"},
    {"EndWithStartAndComment", " ORG $C000\nGO NOP\n END GO fin\n", "01"},
    // Conditional assembly, nested, in both spellings.
    {"IfElse",
     "T EQU 1\n IF T\n FCB 1\n ELSE\n FCB 2\n ENDIF\n IF T-1\n FCB 3\n ELSE\n FCB 4\n "
     "ENDC\n",
     "01 04"},
    {"HashIfInColumnOne", "IntType EQU $01\n#IF IntType == $01\n FCB 1\n#ELSE\n FCB 2\n#ENDIF\n",
     "01"},
    {"Nested",
     " IF 0\n IF 1\n FCB 1\n ELSE\n FCB 2\n ENDIF\n FCB 3\n ELSE\n IF 1\n FCB 4\n "
     "ENDIF\n ENDIF\n",
     "04"},
    {"Defined",
     "A EQU 1\n IFDEF A\n FCB 1\n ENDIF\n IFNDEF A\n FCB 2\n ENDIF\n IFDEF B\n FCB 3\n "
     "ENDIF\n IFNDEF B\n FCB 4\n ENDIF\n",
     "01 04"},
    {"Comparisons",
     " IF 1 != 2 && 2 <= 2 && 3 >= 2 && 1 < 2 && 2 > 1\n FCB 1\n ENDIF\n"
     " IF 1 == 2 || !1\n FCB 2\n ENDIF\n IF !(1 == 2)\n FCB 3\n ENDIF\n",
     "01 03"},
    {"BitwiseStillWorks", " FCB $F0&$3C,$0F!$30,$0F|$30\n", "30 3F 3F"},
    {"SkippedLinesDefineNothing", " IF 0\nX EQU 1\nX EQU 2\n LDZ\n ENDIF\n FCB 5\n", "05"},
    // Listing options and the other directives of older assemblers are accepted.
    {"ListingDirectives", " NAM essai\n TTL titre\n PAGE\n SPC 2\n OPT c,noc,cre,l,nol,s\n NOP\n",
     "01"},
};
INSTANTIATE_TEST_SUITE_P(Dialect, DialectTable, ::testing::ValuesIn(dialects),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Dialect, EndOperandIsTheStartOnlyWhenItIsAValue) {
    EXPECT_EQ(assemble(" ORG $C000\nGO NOP\n END GO fin\n").startAddress, 0xC000);
    EXPECT_EQ(assemble(" ORG $C000\nGO NOP\n END $C001\n").startAddress, 0xC001);
    EXPECT_EQ(assemble(" ORG $C000\nGO NOP\n END Tells the assembler\n").startAddress, 0);
}

struct Warned {
    const char* name;
    const char* source;
    int line;
};

TEST(Dialect, StrayHashIsAWarningNotAnError) {
    const Warned cases[] = {
        {"Fdb", "begin NOP\n FDB #begin\n", 2},
        {"Equ", "PORTA EQU #$0000\n", 1},
        {"InsideImmediate", "a EQU 1\n CPY #a+#a\n", 2},
        {"Jmp", "start NOP\n JMP #start\n", 2},
    };
    for (const Warned& w : cases) {
        const Result result = assemble(w.source);
        EXPECT_TRUE(result.ok()) << w.name << errorsOf(result);
        ASSERT_EQ(result.warnings.size(), 1u) << w.name;
        EXPECT_EQ(result.warnings[0].line, w.line) << w.name;
        EXPECT_NE(cp1252ToUtf8(result.warnings[0].message).find("« # » ignoré"), std::string::npos);
        EXPECT_FALSE(result.s19.empty()) << w.name;
        EXPECT_NE(result.listing.find("***** Avertissement : "), std::string::npos) << w.name;
    }
    // A store has no immediate form to fall back on: that stays an error.
    EXPECT_FALSE(assemble(" STAA #1\n").ok());
}

struct Faulty {
    const char* name;
    const char* source;
    int line;
    const char* message; // the whole French message
};

void PrintTo(const Faulty& f, std::ostream* out) {
    *out << f.name;
}

class DialectErrorTable : public ::testing::TestWithParam<Faulty> {};

TEST_P(DialectErrorTable, ReportsTheExactMessageOnItsLine) {
    const Result result = assemble(GetParam().source);
    ASSERT_EQ(result.errors.size(), 1u) << errorsOf(result);
    EXPECT_EQ(result.errors[0].line, GetParam().line);
    EXPECT_EQ(cp1252ToUtf8(result.errors[0].message), GetParam().message);
}

const Faulty dialectFaults[] = {
    {"MnemonicInColumnOne", " NOP\nLDAA #1\n", 2,
     "un mot en colonne 1 est lu comme une étiquette ; ce qui suit n'est pas une instruction : #1"},
    {"TypoAfterALabel", "ICI LDZ #1\n", 1, "instruction inconnue : LDZ"},
    {"ElseWithoutIf", " NOP\n ELSE\n", 2, "ELSE sans IF"},
    {"EndifWithoutIf", " ENDIF\n", 1, "ENDIF sans IF"},
    {"IfWithoutEndif", " NOP\n IF 1\n NOP\n", 2, "IF sans ENDIF"},
    {"HashIfWithoutEndif", "#IF 0\n NOP\n", 1, "IF sans ENDIF"},
    {"TwoElses", " IF 1\n ELSE\n ELSE\n ENDIF\n", 3, "second ELSE pour le même IF"},
    {"IfForward", " IF LATER\n ENDIF\nLATER EQU 1\n", 1,
     "valeur inconnue en première passe (symbole défini plus loin) : LATER"},
    {"IncludeInMemory", " INCLUDE \"defs.inc\"\n", 1, "fichier inclus introuvable : defs.inc"},
    {"IncludeWithoutName", " INCLUDE\n", 1, "nom de fichier manquant"},
};
INSTANTIATE_TEST_SUITE_P(Dialect, DialectErrorTable, ::testing::ValuesIn(dialectFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// Included files come from a map, as the command line would read them from disk.
Result assembleWithFiles(const std::string& source, std::map<std::string, std::string> files) {
    Options options;
    options.path = "prog/main.asm";
    options.readFile = [files](std::string path) -> std::optional<std::string> {
        std::replace(path.begin(), path.end(), '\\', '/'); // Windows names them with '\'
        const auto it = files.find(path);
        if (it == files.end())
            return std::nullopt;
        return it->second;
    };
    return assembleSource(source, options);
}

std::string slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string diagnosticsOf(const Result& result) {
    std::string text;
    for (const Diagnostic& d : result.diagnostics)
        text += slashes(d.file) + ":" + std::to_string(d.line) + (d.warning ? " A " : " E ") +
                cp1252ToUtf8(d.message) + "\n";
    return text;
}

TEST(Include, FilesAreFoundBesideTheFileThatIncludesThem) {
    const Result result = assembleWithFiles(" FCB 1\n INCLUDE \"lib/a.inc\"\n FCB 4\n",
                                            {{"prog/lib/a.inc", " FCB 2\n#INCLUDE \"b.inc\"\n"},
                                             {"prog/lib/b.inc", "B EQU 3\n FCB B\n"}});
    EXPECT_EQ(diagnosticsOf(result), "");
    EXPECT_EQ(hexOf(bytesOf(result)), "01 02 03 04");
}

TEST(Include, ErrorsNameTheFileAndLineWhereTheyStand) {
    const Result result = assembleWithFiles(
        " INCLUDE \"a.inc\"\n FCB RIEN\n",
        {{"prog/a.inc", " NOP\n LDAA #999\n INCLUDE \"main.asm\"\n INCLUDE absent.inc\n"}});
    EXPECT_EQ(diagnosticsOf(result), "prog/a.inc:2 E valeur hors limites sur 8 bits : 999\n"
                                     "prog/a.inc:3 E inclusion en boucle : main.asm\n"
                                     "prog/a.inc:4 E fichier inclus introuvable : absent.inc\n"
                                     "prog/main.asm:2 E symbole non défini : RIEN\n");
}

TEST(Include, AFileIncludedTwiceInARowIsNoLoop) {
    const Result result =
        assembleWithFiles(" INCLUDE x.inc\n INCLUDE x.inc\n", {{"prog/x.inc", " NOP\n"}});
    EXPECT_EQ(diagnosticsOf(result), "");
    EXPECT_EQ(hexOf(bytesOf(result)), "01 01");
}

TEST(Include, ASkippedIncludeIsNotRead) {
    const Result result = assembleWithFiles(" IF 0\n INCLUDE absent.inc\n ENDIF\n NOP\n", {});
    EXPECT_EQ(diagnosticsOf(result), "");
}

// The listing line of a source line (UTF-8), found by its text.
std::string listingLine(const Result& result, const std::string& text) {
    const std::string listing = cp1252ToUtf8(result.listing);
    const std::size_t at = listing.find(text);
    if (at == std::string::npos)
        return "(absente)";
    const std::size_t start = listing.rfind('\n', at) + 1;
    return listing.substr(start, listing.find("\r\n", at) - start);
}

TEST(Listing, CycleColumnAndTotalWithOptC) {
    const Result result =
        assemble(" NOP\n OPT c\n LDAA #1\n IDIV\n LDY 0,Y\n FCB 1\n OPT noc\n MUL\n");
    EXPECT_EQ(listingLine(result, " NOP"), "     1  0000  01                NOP");
    EXPECT_EQ(listingLine(result, "LDAA"), "     3  0001  86 01          [ 2]    LDAA #1");
    EXPECT_EQ(listingLine(result, "IDIV"), "     4  0003  02             [41]    IDIV");
    EXPECT_EQ(listingLine(result, "LDY"), "     5  0004  18 EE 00       [ 6]    LDY 0,Y");
    EXPECT_EQ(listingLine(result, "FCB"), "     6  0007  01                     FCB 1");
    EXPECT_NE(result.listing.find("Nombre total de cycles : 49\r\n"), std::string::npos);
    EXPECT_EQ(assemble(" NOP\n").listing.find("cycles"), std::string::npos);
}

TEST(Listing, SkippedLinesAppearWithoutCode) {
    const Result result = assemble(" IF 0\n LDAA #1\n ENDIF\n");
    EXPECT_EQ(listingLine(result, "LDAA"), "     2                          LDAA #1");
    EXPECT_EQ(result.byteCount, 0u);
}

TEST(Listing, NolHidesLinesButNotTheirErrors) {
    const Result result = assemble(" OPT nol\n NOP\n LDZ\n OPT l\n INX\n");
    EXPECT_EQ(listingLine(result, "NOP"), "(absente)");
    EXPECT_NE(listingLine(result, "LDZ"), "(absente)");
    EXPECT_NE(result.listing.find("***** Erreur : instruction inconnue : LDZ"), std::string::npos);
    EXPECT_NE(listingLine(result, "INX"), "(absente)");
}

TEST(Listing, CrossReferenceWithOptCre) {
    const Result result = assemble(" OPT cre\nA EQU 1\n IF A\n FCB A\n ENDIF\nB NOP\n BRA B\n"
                                   "C NOP\n FDB A\n");
    const std::string listing = cp1252ToUtf8(result.listing);
    EXPECT_NE(listing.find("Références croisées :"), std::string::npos);
    EXPECT_NE(listing.find("A                        $0001     définie 2, utilisée 3 4 9\r\n"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("B                        $0001     définie 6, utilisée 7\r\n"),
              std::string::npos);
    EXPECT_NE(listing.find("C                        $0004     définie 8, jamais utilisée\r\n"),
              std::string::npos);
    EXPECT_EQ(assemble(" NOP\n").listing.find("croisées"), std::string::npos);
}

} // namespace
} // namespace asmhc11::test
