#include <gtest/gtest.h>

#include <string>

#include "assembly/assembly_texts.h"
#include "assembly/split_path.h"
#include "platform/failure.h"

namespace kavrel::assembly {
namespace {

struct SplitCase {
    const char* path;
    const char* folder;
    const char* baseName;
};

// Written with '\'; each case also runs with '/' in place of every '\'.
const SplitCase kCases[] = {
    {"C:\\Projets\\clignote.asc", "C:\\Projets\\", "clignote"},
    {"C:\\w\\.asc", "C:\\w\\", ""},                       // exactly 4 characters
    {"C:\\w\\programme", "C:\\w\\", "progr"},             // no extension: 4 lost all the same
    {"C:\\w\\essai.text", "C:\\w\\", "essai."},           // the dot of a 4-letter extension stays
    {"clignote.asc", "", "clignote"},                     // no separator at all
    {"\\a.asc", "\\", "a"},                               // separator first
    {"C:\\a.b\\c.d\\prog.asc", "C:\\a.b\\c.d\\", "prog"}, // dots in folders do not count
    {"C:\\Données\\été.asc", "C:\\Données\\", "été"},
    {"C:\\w\\ééééé", "C:\\w\\", "é"},         // 5 two-byte characters: one left
    {"C:\\w\\prog€.asc", "C:\\w\\", "prog€"}, // three-byte character
    {"C:\\w\\x.a😀c", "C:\\w\\", "x"},         // four-byte character is one character
    {"C:\\mes sources\\a b;&.asc", "C:\\mes sources\\", "a b;&"},
};

std::string withSlashes(std::string text) {
    for (char& c : text)
        if (c == '\\')
            c = '/';
    return text;
}

TEST(SplitPath, FolderAndBaseNameForEitherSeparator) {
    for (const auto& c : kCases) {
        const PathParts back = SplitPath(c.path, '\\');
        EXPECT_EQ(back.Folder, c.folder) << c.path;
        EXPECT_EQ(back.BaseName, c.baseName) << c.path;

        const PathParts slash = SplitPath(withSlashes(c.path), '/');
        EXPECT_EQ(slash.Folder, withSlashes(c.folder)) << c.path;
        EXPECT_EQ(slash.BaseName, withSlashes(c.baseName)) << c.path;
    }
}

TEST(SplitPath, OnlyTheGivenSeparatorSplits) {
    const PathParts parts = SplitPath("C:\\w/sub\\prog.asc", '/');
    EXPECT_EQ(parts.Folder, "C:\\w/");
    EXPECT_EQ(parts.BaseName, "sub\\prog");
}

void expectFailure(const std::string& path, char separator, const char* reason) {
    try {
        SplitPath(path, separator);
        ADD_FAILURE() << "no failure for a name of " << path.size() << " bytes";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.operation().c_str(), kOpSplitPath);
        EXPECT_STREQ(failure.reason().c_str(), reason);
        EXPECT_EQ(failure.path(), path);
    }
}

TEST(SplitPath, NamesShorterThanFourCharactersFail) {
    for (const char* path : {"C:\\w\\", "C:\\w\\abc", "C:\\w\\é.a", "", "ab", "\\"}) {
        expectFailure(path, '\\', kReasonNameTooShort);
        expectFailure(withSlashes(path), '/', kReasonNameTooShort);
    }
}

TEST(SplitPath, NameLengthLimitCountsCharacters) {
    const std::string folder = "C:\\w\\";
    const std::string longest(32770, 'a');
    EXPECT_EQ(SplitPath(folder + longest, '\\').BaseName.size(), 32766u);
    expectFailure(folder + longest + "a", '\\', kReasonNameTooLong);

    // Two bytes each: the limit is in characters, and no character is cut.
    std::string accented;
    for (int i = 0; i < 32770; ++i)
        accented += "é";
    const PathParts parts = SplitPath("/w/" + accented, '/');
    EXPECT_EQ(parts.BaseName.size(), 2u * 32766);
    expectFailure("/w/" + accented + "é", '/', kReasonNameTooLong);

    // A long folder does not count against the name.
    EXPECT_EQ(SplitPath(std::string(40000, 'd') + "/prog.asc", '/').BaseName, "prog");
}

} // namespace
} // namespace kavrel::assembly
