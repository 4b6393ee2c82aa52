#include <gtest/gtest.h>

#include <random>
#include <string>

#include "editor/document_format.h"

using namespace kavrel::editor;

TEST(DocumentFormat, LoadThenSave) {
    struct Case {
        std::string file, text, saved;
    };
    const Case cases[] = {
        {"", "", "\r\n"},
        {"\r\n", "", "\r\n"},
        {"\r\n\r\n", "\r\n", "\r\n\r\n"},
        {"a\r\nb\r\n", "a\r\nb", "a\r\nb\r\n"},
        {"a\r\nb", "a\r\nb", "a\r\nb\r\n"}, // gains the final CR LF
        {"a\r\n\r\n", "a\r\n", "a\r\n\r\n"},
        {"a\nb\n", "a\nb\n", "a\nb\n\r\n"}, // LF ends stay LF
        {"a\rb\r", "a\rb\r", "a\rb\r\r\n"}, // so do CR ends
        {"\r", "\r", "\r\r\n"},
        {"\n", "\n", "\n\r\n"},
        {"\n\r", "\n\r", "\n\r\r\n"}, // LF CR is not a CR LF
        {"a\rb\nc\r\nd\r\n", "a\rb\nc\r\nd", "a\rb\nc\r\nd\r\n"},
        {"\r\r\n", "\r", "\r\r\n"}, // only one CR LF is taken
        {"\xE9t\xE9\r\n", "été", "\xE9t\xE9\r\n"},
    };
    for (const Case& c : cases) {
        const std::string text = decodeDocument(c.file);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(encodeDocument(text), c.saved);
    }
}

TEST(DocumentFormat, EveryByteSurvivesOpenAndSave) {
    std::string file;
    for (int b = 0; b < 256; ++b)
        file.push_back(static_cast<char>(b));
    file += "\r\n";
    EXPECT_EQ(encodeDocument(decodeDocument(file)), file);

    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 200, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        bytes += "\r\n";
        ASSERT_EQ(encodeDocument(decodeDocument(bytes)), bytes);
    }
}

TEST(DocumentFormat, SaveThenLoadGivesTheTextBack) {
    for (const std::string text : {"", "\r\n", "LDAA #1\r\n", "a\r\nb\r\n\r\n", "\r", "été"})
        EXPECT_EQ(decodeDocument(encodeDocument(text)), text);
}

TEST(DocumentFormat, SavesCharactersTheCodePageLacksAsQuestionMarks) {
    EXPECT_EQ(encodeDocument("Ā中\xFF"), "???\r\n");
    EXPECT_EQ(encodeDocument("€"), "\x80\r\n");
}
