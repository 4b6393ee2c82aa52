// Hexadecimal as the whole suite writes it: padded, upper case, the low
// digits of a wider value.
#include <gtest/gtest.h>

#include <string>

#include "common/hex_text.h"

namespace hex = kavrel::hex;

TEST(HexText, PaddedUpperCaseAndCutToTheirWidth) {
    EXPECT_EQ(hex::byte(0x0F), "$0F");
    EXPECT_EQ(hex::byte(0xAB), "$AB");
    EXPECT_EQ(hex::word(0x01A3), "$01A3");
    EXPECT_EQ(hex::word(0xFFFF), "$FFFF");
    EXPECT_EQ(hex::digits(0, 4), "0000");
    EXPECT_EQ(hex::digits(0x12345, 4), "2345"); // the low digits only
    EXPECT_EQ(hex::digits(0xDEADBEEF, 8), "DEADBEEF");
    EXPECT_EQ(hex::digit(0x1C), 'C');

    std::string row = "S1";
    hex::append(row, 0x13, 2);
    hex::append(row, 0xB600, 4);
    EXPECT_EQ(row, "S113B600");
}
