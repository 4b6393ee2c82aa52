// The bytes of a serial line as the terminal shows them, and what it sends.
#include <gtest/gtest.h>

#include <string>

#include "terminal/serial_text.h"

using namespace kavrel::terminal;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

} // namespace

TEST(VisibleByte, EveryByteGivesSomethingToSee) {
    struct Case {
        int byte;
        const char* shown;
    } cases[] = {
        {'A', "A"},
        {' ', " "},
        {0x00, "\u2400"},
        {0x07, "\u2407"},
        {0x09, "\u2409"},
        {0x1B, "\u241B"},
        {0x7F, "\u2421"},
        {0x80, "\u20AC"},
        {0x92, "\u2019"},
        {0x9F, "\u0178"},
        {0x81, "\u27E881\u27E9"},
        {0x8D, "\u27E88D\u27E9"},
        {0x9D, "\u27E89D\u27E9"},
        {0xA0, "\u00A0"},
        {0xE9, "\u00E9"},
        {0xFF, "\u00FF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(visibleByte(static_cast<std::uint8_t>(c.byte)), c.shown) << c.byte;
    for (int b = 0; b < 256; ++b)
        EXPECT_FALSE(visibleByte(static_cast<std::uint8_t>(b)).empty()) << b;
}

TEST(VisibleByte, PrintableMatchesTheCodePage) {
    int printable = 0;
    for (int b = 0; b < 256; ++b)
        printable += isPrintable(static_cast<std::uint8_t>(b)) ? 1 : 0;
    // 256 less 32 C0 controls, DEL and the five unassigned bytes.
    EXPECT_EQ(printable, 256 - 32 - 1 - 5);
    EXPECT_TRUE(isPrintable(0x80));
    EXPECT_FALSE(isPrintable(0x90));
}

TEST(ReceivedText, LineEndsAndLoneCarriageReturns) {
    struct Case {
        std::string in;
        std::string shown;
    } cases[] = {
        {"AB\r\nCD", "AB\nCD"},   {"AB\nCD", "AB\nCD"},
        {"AB\rCD", "AB\u240DCD"}, {"\n\r\r\n", "\n\u240D\n"},
        {"A\tB", "A\u2409B"},     {bytes({'>', 0x08, 0x00}), ">\u2408\u2400"},
        {"caf\xE9", "caf\u00E9"},
    };
    for (const auto& c : cases) {
        ReceivedText text;
        EXPECT_EQ(text.feed(c.in), c.shown) << c.in;
    }
}

TEST(ReceivedText, ACarriageReturnWaitsForTheNextChunk) {
    ReceivedText text;
    EXPECT_EQ(text.feed("Bonjour\r"), "Bonjour");
    EXPECT_TRUE(text.holdsCr());
    EXPECT_EQ(text.feed("\nSuite"), "\nSuite");
    EXPECT_EQ(text.feed("\r"), "");
    EXPECT_EQ(text.feed("X"), "\u240DX");
    // Byte by byte gives what one chunk gives.
    const std::string stream = "a\r\nb\rc\n\r\r\nd\x01";
    ReceivedText whole, split;
    std::string pieces;
    for (char c : stream)
        pieces += split.feed(std::string(1, c));
    EXPECT_EQ(pieces, whole.feed(stream));
}

TEST(ReceivedText, AnEndlessLineIsBroken) {
    ReceivedText text(4);
    EXPECT_EQ(text.feed("abcdefghij"), "abcd\nefgh\nij");
    EXPECT_EQ(text.feed("kl\nmnopq"), "kl\nmnop\nq");
    text.reset();
    EXPECT_EQ(text.feed("\x01\x02\x03\x04\x05"), "\u2401\u2402\u2403\u2404\n\u2405");
}

TEST(TypedBytes, EncodesInWindows1252WithTheChosenLineEnd) {
    struct Case {
        std::string utf8;
        LineEnd end;
        std::string sent;
    } cases[] = {
        {"MD E000", LineEnd::Cr, "MD E000"},
        {"a\nb", LineEnd::Cr, "a\rb"},
        {"a\r\nb", LineEnd::CrLf, "a\r\nb"},
        {"a\rb\n", LineEnd::CrLf, "a\r\nb\r\n"},
        {"a\u2029b", LineEnd::Cr, "a\rb"},
        {"\u00E9t\u00E9 \u20AC\u0153", LineEnd::Cr, "\xE9t\xE9 \x80\x9C"},
        {"\u03C0\U0001F600", LineEnd::Cr, "??"},
        {"\xC3(", LineEnd::Cr, "?("},         // truncated sequence
        {"\xC0\xAF", LineEnd::Cr, "??"},      // overlong slash
        {"\xED\xA0\x80", LineEnd::Cr, "???"}, // a surrogate
    };
    for (const auto& c : cases)
        EXPECT_EQ(typedBytes(c.utf8, c.end), c.sent) << c.utf8;
}

TEST(FileBytesToSend, LineEndsBecomeTheEntersOthersStay) {
    EXPECT_EQ(fileBytesToSend("L1\r\nL2\nL3\rL4", LineEnd::Cr), "L1\rL2\rL3\rL4");
    EXPECT_EQ(fileBytesToSend("L1\r\nL2\nL3\r", LineEnd::CrLf), "L1\r\nL2\r\nL3\r\n");
    EXPECT_EQ(fileBytesToSend("\r\n\r\n", LineEnd::Cr), "\r\r");
    EXPECT_EQ(fileBytesToSend("fin\r\n\x1A", LineEnd::Cr), "fin\r");
    EXPECT_EQ(fileBytesToSend(bytes({0xE9, 0x00, 0x1A, 'x'}), LineEnd::Cr),
              bytes({0xE9, 0x00, 0x1A, 'x'}));
    EXPECT_EQ(fileBytesToSend("", LineEnd::CrLf), "");
}

TEST(ControlCode, LettersAndTheFivePunctuationKeys) {
    EXPECT_EQ(controlCode('C'), 0x03);
    EXPECT_EQ(controlCode('c'), 0x03);
    EXPECT_EQ(controlCode('Z'), 0x1A);
    EXPECT_EQ(controlCode('['), 0x1B);
    EXPECT_EQ(controlCode('_'), 0x1F);
    EXPECT_EQ(controlCode('@'), 0x00);
    EXPECT_EQ(controlCode('1'), std::nullopt);
    EXPECT_EQ(controlCode('{'), std::nullopt);
}
