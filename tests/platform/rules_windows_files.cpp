// Windows only: what CopyFileW and the system ANSI code page do under a real
// Windows API (or Wine), beyond the portable file and code-page tests.
#ifdef _WIN32

#include <gtest/gtest.h>

#include "common/windows_api.h"

#include <filesystem>
#include <random>
#include <string>

#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "common/utf8_text.h"
#include "support/temp_files.h"

using namespace kavrel;
using namespace kavrel::platform;
namespace fs = std::filesystem;

namespace {

std::string utf8Of(const fs::path& path) {
    return utf8::fromPath(path);
}

Failure failureOf(const auto& step) {
    try {
        step();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "no Failure thrown";
    return Failure("", "", "");
}

class WindowsFiles : public ::testing::Test {
protected:
    std::string path(const std::u8string& name) const { return utf8Of(dir_ / name); }
    test::TempDir temp_;
    const fs::path dir_ = temp_.fsPath();
};

} // namespace

TEST_F(WindowsFiles, CopyTakesUtf8NamesToTheirWideNames) {
    // The names must reach the file system as these characters, not as the
    // bytes of their UTF-8 read in the ANSI code page.
    const std::string from = path(u8"Programme d'été.asc");
    const std::string to = path(u8"Œuvre ✓.BOO");
    writeFileReplacing(from, "ORG $F800\r\n");
    copyFile(from, to);
    EXPECT_TRUE(fs::exists(dir_ / L"Programme d'\u00E9t\u00E9.asc"));
    EXPECT_TRUE(fs::exists(dir_ / L"\u0152uvre \u2713.BOO"));
    EXPECT_EQ(readFile(to), "ORG $F800\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
}

TEST_F(WindowsFiles, CopyFromAFileHeldOpenWithoutSharing) {
    const std::string from = path(u8"Test.LST");
    writeFileReplacing(from, "listing");
    const HANDLE held = CreateFileW((dir_ / L"Test.LST").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Failure failure = failureOf([&] { copyFile(from, path(u8"prog.LST")); });
    CloseHandle(held);
    EXPECT_EQ(failure.path(), from);
    EXPECT_EQ(failure.reason(), kReasonInUse);
    EXPECT_FALSE(fs::exists(dir_ / L"prog.LST"));
}

TEST(WindowsCodePage, BytesDecodeAsTheSystemCodePageSays) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "system code page " << GetACP() << ", table written for 1252";
    // 0x80..0x9F of Windows-1252; the five unassigned bytes keep their value.
    const wchar_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    for (int b = 0; b < 256; ++b) {
        const wchar_t wide = b >= 0x80 && b < 0xA0 ? high[b - 0x80] : wchar_t(b);
        std::string utf8(8, '\0');
        utf8.resize(static_cast<std::size_t>(
            WideCharToMultiByte(CP_UTF8, 0, &wide, 1, utf8.data(), 8, nullptr, nullptr)));
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(decodeAnsi(byte), utf8) << "byte " << b;
        EXPECT_EQ(encodeAnsi(utf8), byte) << "byte " << b;
    }
    // The system would map these to a near letter (A, L, ', 8); a document
    // must get '?' rather than a silently different text.
    EXPECT_EQ(encodeAnsi("\u0100 \u0141 \u02BC \u221E"), "? ? ? ?");
}

#endif // _WIN32
