#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "platform/code_page.h"

using namespace kavrel::platform;

namespace {

std::string allBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    return bytes;
}

} // namespace

TEST(CodePage, EveryByteSurvivesDecodeAndEncode) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(encodeAnsi(decodeAnsi(one)), one) << "byte " << b;
    }
    EXPECT_EQ(encodeAnsi(decodeAnsi(allBytes())), allBytes());
}

TEST(CodePage, RandomByteStringsSurvive) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 300, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        ASSERT_EQ(encodeAnsi(decodeAnsi(bytes)), bytes);
    }
}

TEST(CodePage, DecodesWindows1252) {
    struct Case {
        std::string bytes, utf8;
    };
    const Case cases[] = {
        {"", ""},
        {std::string("a\0b\r\n", 5), std::string("a\0b\r\n", 5)},
        {"\x80", "€"},
        {"\x8C\x9C", "Œœ"},
        {"\x92", "’"},
        {"\x9F", "Ÿ"},
        {"\xA0", "\u00A0"},
        {"\xE9t\xE9", "été"},
        {"\xFF", "ÿ"},
        // The unassigned bytes keep their value as C1 controls.
        {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},
        // Past the ASCII fast path, in the middle of a long line.
        {"LDAA #$10 ; d\xE9"
         "but de boucle",
         "LDAA #$10 ; début de boucle"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeAnsi(c.bytes), c.utf8) << c.utf8;
}

TEST(CodePage, EncodesMissingAndMalformedAsQuestionMarks) {
    struct Case {
        std::string utf8, bytes;
    };
    const Case cases[] = {
        {"été €", "\xE9t\xE9 \x80"},
        {"Ā", "?"},                   // Latin Extended-A, not in the code page
        {"中文", "??"},               // one '?' per character, not per byte
        {"a😀b", "a?b"},               // four-byte sequence
        {"\u0080\u0085", "??"},       // C1 controls other than the five
        {"\u0081\u009D", "\x81\x9D"}, // the five come back as their bytes
        {"\u2010", "?"},              // a dash the code page lacks
        {"\x80z", "?z"},              // stray continuation byte
        {"\xE2\x82z", "?z"},          // sequence cut short: one '?'
        {"\xE2\x82", "?"},            // cut short at the end of the text
        {"\xF0\x9F\x98", "?"},
        {"\xC0\xAF", "??"},           // overlong '/'
        {"\xE0\x80\xAF", "???"},      // overlong, three bytes
        {"\xED\xA0\x80", "???"},      // UTF-16 surrogate
        {"\xF4\x90\x80\x80", "????"}, // beyond U+10FFFF
        {"\xFF\xFE", "??"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(encodeAnsi(c.utf8), c.bytes) << c.utf8;
}

// What a save would turn into '?': the count and where the first one is, in
// agreement with what the encoding writes.
TEST(CodePage, FindsTheCharactersTheCodePageLacks) {
    struct Case {
        std::string utf8;
        std::size_t count, firstOffset;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"plain ? text", 0, 0}, // a '?' of the text is no loss
        {"été € \u0081", 0, 0}, // all in the code page
        {"ab✓c→", 2, 2},        // offsets in bytes
        {"é中", 1, 2},
        {"😀", 1, 0},
        {"a\x80z\xE2\x82", 2, 1}, // malformed sequences count once each
        {std::string(100, 'x') + "Ā", 1, 100},
    };
    for (const Case& c : cases) {
        const kavrel::platform::Unencodable found = kavrel::platform::findUnencodable(c.utf8);
        EXPECT_EQ(found.count, c.count) << c.utf8;
        if (c.count > 0) {
            EXPECT_EQ(found.firstOffset, c.firstOffset) << c.utf8;
        }
        // Exactly as many '?' come out of the encoding as were in the text, plus the lost.
        const std::string bytes = encodeAnsi(c.utf8);
        const auto marks = [](const std::string& s) { return std::count(s.begin(), s.end(), '?'); };
        EXPECT_EQ(static_cast<std::size_t>(marks(bytes) - marks(c.utf8)), c.count) << c.utf8;
    }
}
