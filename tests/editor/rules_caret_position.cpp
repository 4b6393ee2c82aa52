#include <gtest/gtest.h>

#include <random>
#include <string>

#include "editor/caret_position.h"

using namespace kavrel::editor;

namespace {

// The plain rule, one byte at a time.
CaretPosition slowCaretPosition(const std::string& text, std::size_t offset) {
    CaretPosition position;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++position.line;
            position.column = 0;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++position.column;
        }
    }
    return position;
}

} // namespace

TEST(CaretPosition, Table) {
    struct Case {
        std::string text;
        std::size_t offset;
        std::size_t line, column;
    };
    const Case cases[] = {
        {"", 0, 1, 0},
        {"abc", 0, 1, 0},
        {"abc", 3, 1, 3},
        {"abc\r\nde", 5, 2, 0},
        {"abc\r\nde", 6, 2, 1},
        {"abc\r\nde", 3, 1, 3}, // before the CR
        {"abc\r\nde", 4, 1, 4}, // between CR and LF: the CR is a character
        {"a\nb", 3, 2, 1},
        {"a\rb", 3, 1, 3}, // a lone CR starts no line
        {"\tb", 2, 1, 2},  // a tab is one column
        {"abcd", 1, 1, 1}, // selection start of "bc"
        {"\n\n\n", 3, 4, 0},
        {"\n\n\nx", 2, 3, 0},
        {"abc", 99, 1, 3}, // past the end: clamped
        {"a\nb", 99, 2, 1},
        // Columns count characters, not bytes.
        {"été", 5, 1, 3},
        {"x\r\nà€😀y", 13, 2, 4},
        // Inside a multi-byte character: at that character's start.
        {"é", 1, 1, 0},
        {"aé", 2, 1, 1},
        {"a€", 2, 1, 1},
        {"a€", 3, 1, 1},
        {"a😀", 4, 1, 1},
        {"a😀", 5, 1, 2},
    };
    for (const Case& c : cases) {
        const CaretPosition expected{c.line, c.column};
        EXPECT_EQ(caretPosition(c.text, c.offset), expected)
            << "text \"" << c.text << "\" offset " << c.offset;
    }
}

TEST(CaretPosition, AgreesWithTheByteByByteRuleOnRandomTexts) {
    // Pieces that make lines short and long, ASCII and not, so every block
    // size of the fast paths meets LFs and multi-byte characters at all offsets.
    const std::string pieces[] = {"a", "LDAA #$10", "\n", "\r\n", "\r", "\t", "é", "€", "😀"};
    std::mt19937 random(3);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const std::size_t wanted = round < 2900 ? random() % 200 : random() % 20000;
        const unsigned lineFeedWeight = 1 + random() % 50;
        while (text.size() < wanted) {
            const unsigned pick = random() % (lineFeedWeight + 30);
            text += pick < lineFeedWeight ? pieces[2 + random() % 2] : pieces[random() % 9];
        }
        // Offsets at character starts only; inside a character is tested above.
        std::size_t offset = random() % (text.size() + 1);
        while (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80)
            ++offset;
        ASSERT_EQ(caretPosition(text, offset), slowCaretPosition(text, offset))
            << "round " << round << " offset " << offset;
    }
}

TEST(CaretPosition, ReadsOnlyTheGivenView) {
    // Bytes beyond the view are not part of the text, even when they are LFs.
    const std::string backing = "ab\n\n\n";
    EXPECT_EQ(caretPosition(std::string_view(backing).substr(0, 2), 99), (CaretPosition{1, 2}));
}

TEST(CaretPanelText, WritesBothNumbersAfterTheirLabels) {
    EXPECT_EQ(caretPanelText({1, 0}), "Ligne : 1 Colonne : 0");
    EXPECT_EQ(caretPanelText({1203, 45}), "Ligne : 1203 Colonne : 45");
}
