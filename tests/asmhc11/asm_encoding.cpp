// Encodings of the 68HC11 instruction set, checked against the opcode map.
#include "asm_support.h"

#include <gtest/gtest.h>

namespace asmhc11::test {
namespace {

struct Encoding {
    const char* line;
    const char* bytes;
};

void PrintTo(const Encoding& e, std::ostream* out) {
    *out << e.line;
}

// Each line is assembled at $C000, so "*" is $C000.
std::string encode(const std::string& line) {
    const Result result = assemble("        ORG $C000\r\n        " + line + "\r\n");
    if (!result.ok())
        return "erreur: " + errorsOf(result);
    return hexOf(bytesOf(result));
}

class EncodingTable : public ::testing::TestWithParam<Encoding> {};

TEST_P(EncodingTable, AssemblesToTheReferenceBytes) {
    EXPECT_EQ(encode(GetParam().line), GetParam().bytes) << GetParam().line;
}

const Encoding inherentEncodings[] = {
    {"ABA", "1B"},
    {"ABX", "3A"},
    {"ABY", "18 3A"},
    {"ASLA", "48"},
    {"ASLB", "58"},
    {"ASLD", "05"},
    {"ASRA", "47"},
    {"ASRB", "57"},
    {"CBA", "11"},
    {"CLC", "0C"},
    {"CLI", "0E"},
    {"CLRA", "4F"},
    {"CLRB", "5F"},
    {"CLV", "0A"},
    {"COMA", "43"},
    {"COMB", "53"},
    {"DAA", "19"},
    {"DECA", "4A"},
    {"DECB", "5A"},
    {"DES", "34"},
    {"DEX", "09"},
    {"DEY", "18 09"},
    {"FDIV", "03"},
    {"IDIV", "02"},
    {"INCA", "4C"},
    {"INCB", "5C"},
    {"INS", "31"},
    {"INX", "08"},
    {"INY", "18 08"},
    {"LSLA", "48"},
    {"LSLB", "58"},
    {"LSLD", "05"},
    {"LSRA", "44"},
    {"LSRB", "54"},
    {"LSRD", "04"},
    {"MUL", "3D"},
    {"NEGA", "40"},
    {"NEGB", "50"},
    {"NOP", "01"},
    {"PSHA", "36"},
    {"PSHB", "37"},
    {"PSHX", "3C"},
    {"PSHY", "18 3C"},
    {"PULA", "32"},
    {"PULB", "33"},
    {"PULX", "38"},
    {"PULY", "18 38"},
    {"ROLA", "49"},
    {"ROLB", "59"},
    {"RORA", "46"},
    {"RORB", "56"},
    {"RTI", "3B"},
    {"RTS", "39"},
    {"SBA", "10"},
    {"SEC", "0D"},
    {"SEI", "0F"},
    {"SEV", "0B"},
    {"STOP", "CF"},
    {"SWI", "3F"},
    {"TAB", "16"},
    {"TAP", "06"},
    {"TBA", "17"},
    {"TEST", "00"},
    {"TPA", "07"},
    {"TSTA", "4D"},
    {"TSTB", "5D"},
    {"TSX", "30"},
    {"TSY", "18 30"},
    {"TXS", "35"},
    {"TYS", "18 35"},
    {"WAI", "3E"},
    {"XGDX", "8F"},
    {"XGDY", "18 8F"},
    // The rest of an inherent line is a comment.
    {"RTS retour au programme", "39"},
};
INSTANTIATE_TEST_SUITE_P(Inherent, EncodingTable, ::testing::ValuesIn(inherentEncodings));

const Encoding generalEncodings[] = {
    // Every addressing mode of one instruction.
    {"LDAA #$12", "86 12"},
    {"LDAA $12", "96 12"},
    {"LDAA $1234", "B6 12 34"},
    {"LDAA 5,X", "A6 05"},
    {"LDAA 5,Y", "18 A6 05"},
    {"LDAA ,X", "A6 00"},
    {"LDAA 0,Y", "18 A6 00"},
    {"LDAA 255,X", "A6 FF"},
    // Stores have no immediate mode.
    {"STAA $10", "97 10"},
    {"STAA $1004", "B7 10 04"},
    {"STAA 4,X", "A7 04"},
    {"STAB 4,Y", "18 E7 04"},
    // 16-bit immediates.
    {"LDD #$1234", "CC 12 34"},
    {"LDD #1", "CC 00 01"},
    {"SUBD #$0102", "83 01 02"},
    {"ADDD #$FFFF", "C3 FF FF"},
    {"LDS #$00FF", "8E 00 FF"},
    {"LDX #$1000", "CE 10 00"},
    {"CPX #1", "8C 00 01"},
    {"STD $10", "DD 10"},
    {"STD 2,X", "ED 02"},
    {"ADDD $10", "D3 10"},
    {"STS $10", "9F 10"},
    // The prebyte pages: $18 for Y, $1A and $CD for the mixed forms.
    {"LDX $10", "DE 10"},
    {"LDX 5,Y", "CD EE 05"},
    {"STX 5,Y", "CD EF 05"},
    {"CPX 5,Y", "CD AC 05"},
    {"LDY #$1234", "18 CE 12 34"},
    {"LDY $10", "18 DE 10"},
    {"LDY $1234", "18 FE 12 34"},
    {"LDY 5,X", "1A EE 05"},
    {"LDY 5,Y", "18 EE 05"},
    {"STY $10", "18 DF 10"},
    {"STY $1234", "18 FF 12 34"},
    {"STY 5,X", "1A EF 05"},
    {"STY 5,Y", "18 EF 05"},
    {"CPY #$10", "18 8C 00 10"},
    {"CPY $10", "18 9C 10"},
    {"CPY $1234", "18 BC 12 34"},
    {"CPY 5,X", "1A AC 05"},
    {"CPY 5,Y", "18 AC 05"},
    {"CPD #$1234", "1A 83 12 34"},
    {"CPD $10", "1A 93 10"},
    {"CPD $1234", "1A B3 12 34"},
    {"CPD 5,X", "1A A3 05"},
    {"CPD 5,Y", "CD A3 05"},
    // Jumps: JSR has a direct mode, JMP has not.
    {"JSR $10", "9D 10"},
    {"JSR $1234", "BD 12 34"},
    {"JSR 0,X", "AD 00"},
    {"JSR 0,Y", "18 AD 00"},
    {"JMP $10", "7E 00 10"},
    {"JMP $C000", "7E C0 00"},
    {"JMP 0,X", "6E 00"},
    {"JMP 0,Y", "18 6E 00"},
    // Read-modify-write on memory: extended and indexed only.
    {"CLR $10", "7F 00 10"},
    {"CLR 3,X", "6F 03"},
    {"NEG $1234", "70 12 34"},
    {"COM 1,X", "63 01"},
    {"LSR 1,Y", "18 64 01"},
    {"ROR $1000", "76 10 00"},
    {"ASR 0,X", "67 00"},
    {"ASL 0,X", "68 00"},
    {"LSL 0,Y", "18 68 00"},
    {"ROL $1000", "79 10 00"},
    {"DEC $1000", "7A 10 00"},
    {"INC 3,Y", "18 6C 03"},
    {"TST $1234", "7D 12 34"},
    // Accumulator operations across the map.
    {"SUBA #1", "80 01"},
    {"CMPA $10", "91 10"},
    {"SBCA $1000", "B2 10 00"},
    {"ANDA #%1010", "84 0A"},
    {"BITA 1,X", "A5 01"},
    {"EORA 1,X", "A8 01"},
    {"ADCA #1", "89 01"},
    {"ORAA $10", "9A 10"},
    {"ADDA 1,Y", "18 AB 01"},
    {"SUBB #1", "C0 01"},
    {"CMPB $10", "D1 10"},
    {"SBCB $1000", "F2 10 00"},
    {"ANDB #$0F", "C4 0F"},
    {"BITB 1,Y", "18 E5 01"},
    {"LDAB ,X", "E6 00"},
    {"EORB #1", "C8 01"},
    {"ADCB $10", "D9 10"},
    {"ORAB $10", "DA 10"},
    {"ADDB #5", "CB 05"},
    // Short spellings of the accumulator instructions.
    {"LDA #1", "86 01"},
    {"LDB #1", "C6 01"},
    {"STA $10", "97 10"},
    {"STB $10", "D7 10"},
    {"ORA #1", "8A 01"},
    {"ORB #1", "CA 01"},
    // Case, negative immediate, blank after the comma.
    {"ldaa #$12", "86 12"},
    {"LdAa 5,x", "A6 05"},
    {"LDAA #-1", "86 FF"},
    {"LDAA 5, X", "A6 05"},
    {"LDAA 5,X  ; commentaire", "A6 05"},
};
INSTANTIATE_TEST_SUITE_P(General, EncodingTable, ::testing::ValuesIn(generalEncodings));

const Encoding branchEncodings[] = {
    {"BRA *", "20 FE"},
    {"BRN *", "21 FE"},
    {"BHI *", "22 FE"},
    {"BLS *", "23 FE"},
    {"BCC *", "24 FE"},
    {"BHS *", "24 FE"},
    {"BCS *", "25 FE"},
    {"BLO *", "25 FE"},
    {"BNE *", "26 FE"},
    {"BEQ *", "27 FE"},
    {"BVC *", "28 FE"},
    {"BVS *", "29 FE"},
    {"BPL *", "2A FE"},
    {"BMI *", "2B FE"},
    {"BGE *", "2C FE"},
    {"BLT *", "2D FE"},
    {"BGT *", "2E FE"},
    {"BLE *", "2F FE"},
    {"BSR *", "8D FE"},
    // The displacement counts from the end of the instruction; both limits.
    {"BNE *+2", "26 00"},
    {"BEQ *-126", "27 80"},
    {"BGT *+129", "2E 7F"},
};
INSTANTIATE_TEST_SUITE_P(Branch, EncodingTable, ::testing::ValuesIn(branchEncodings));

const Encoding bitEncodings[] = {
    {"BSET $10,$80", "14 10 80"},
    {"BSET $10,#$80", "14 10 80"},
    {"BCLR $10 $01", "15 10 01"},
    {"BSET 3,X,$80", "1C 03 80"},
    {"BSET ,X,$80", "1C 00 80"},
    {"BCLR 3,X,#$01", "1D 03 01"},
    {"BSET 3,Y,$80", "18 1C 03 80"},
    {"BCLR 3,Y,#$01", "18 1D 03 01"},
    {"BCLR 3,X $01 commentaire", "1D 03 01"},
    {"BRSET $10,$80,*", "12 10 80 FC"},
    {"BRCLR $10,#$01,*", "13 10 01 FC"},
    {"BRSET 3,X,$80,*", "1E 03 80 FC"},
    {"BRCLR 3,X,$01,*", "1F 03 01 FC"},
    {"BRSET 0,Y,$01,*", "18 1E 00 01 FB"},
    {"BRCLR 0,Y,#$01,*+5", "18 1F 00 01 00"},
    {"BRCLR 0,Y $01 * boucle", "18 1F 00 01 FB"},
};
INSTANTIATE_TEST_SUITE_P(Bit, EncodingTable, ::testing::ValuesIn(bitEncodings));

} // namespace
} // namespace asmhc11::test
