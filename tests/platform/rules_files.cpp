#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/failure.h"
#include "platform/files.h"
#include "support/temp_files.h"

#ifndef _WIN32
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/mount.h>
#endif

using namespace kavrel;
using namespace kavrel::platform;
namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
protected:
    void TearDown() override {
        // A test may have taken the folder's permissions away.
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // Names in the folder, to see that no temporary file is left behind.
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    test::TempDir temp_;
    const fs::path dir_ = temp_.fsPath();
};

// The failure a call throws, so its operation, path and reason can be checked.
template <typename Call> Failure failureOf(Call call) {
    try {
        call();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "no failure thrown";
    return Failure("", "", "");
}

std::string allBytes() {
    std::string bytes;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b)
            bytes.push_back(static_cast<char>(b));
    return bytes;
}

} // namespace

TEST_F(Files, WriteReplacesAndReadsBackEveryByte) {
    const std::string file = path("prog été.asc");
    writeFileReplacing(file, std::string(5000, 'x'));
    writeFileReplacing(file, allBytes()); // shorter: nothing of the old one remains
    EXPECT_EQ(readFile(file), allBytes());
    EXPECT_EQ(fileSize(file), allBytes().size());
    EXPECT_TRUE(fileExists(file));
    EXPECT_EQ(entries(), 1u);

    writeFileReplacing(file, "");
    EXPECT_EQ(readFile(file), "");
    EXPECT_EQ(fileSize(file), 0u);
}

TEST_F(Files, MissingFilesAndFoldersAreNamed) {
    struct Case {
        std::string path, reason;
    };
    const Case cases[] = {
        {path("absent.asc"), kReasonNoFile},
        {path("absent/prog.asc"), kReasonNoFolder},
        {path(""), kReasonIsFolder},
    };
    for (const Case& c : cases) {
        const Failure read = failureOf([&] { readFile(c.path); });
        EXPECT_EQ(read.operation(), kOpReadFile);
        EXPECT_EQ(read.path(), c.path);
        EXPECT_EQ(read.reason(), c.reason) << c.path;
        EXPECT_EQ(failureOf([&] { fileSize(c.path); }).reason(), c.reason) << c.path;
        EXPECT_FALSE(fileExists(c.path));
    }
}

TEST_F(Files, FailedWritesLeaveTheOldFileWhole) {
    const std::string folder = path("sub");
    fs::create_directory(folder);
    const Failure onFolder = failureOf([&] { writeFileReplacing(folder, "text"); });
    EXPECT_EQ(onFolder.operation(), kOpWriteFile);
    EXPECT_EQ(onFolder.reason(), kReasonIsFolder);
    EXPECT_TRUE(fs::is_directory(folder));

    const std::string missing = path("absent/prog.asc");
    const Failure inMissing = failureOf([&] { writeFileReplacing(missing, "text"); });
    EXPECT_EQ(inMissing.path(), missing);
    EXPECT_EQ(inMissing.reason(), kReasonNoFolder);
    EXPECT_EQ(entries(), 1u);
}

#ifndef _WIN32
TEST_F(Files, ReadOnlyFolderRefusesTheWriteAndKeepsTheFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root is not held back by permissions";
    const std::string file = path("prog.asc");
    writeFileReplacing(file, "old text\r\n");
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    const Failure failure = failureOf([&] { writeFileReplacing(file, "new"); });
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_EQ(failure.reason(), kReasonAccessDenied);
    EXPECT_EQ(readFile(file), "old text\r\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(Files, ReplacingKeepsPermissionsAndSymbolicLinks) {
    const std::string file = path("prog.asc");
    writeFileReplacing(file, "one");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string link = path("link.asc");
    fs::create_symlink(file, link);

    writeFileReplacing(link, "two");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(file), "two");
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), 2u);
}
#endif

#ifdef __linux__
TEST_F(Files, FullDiskKeepsTheOldFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    const std::string disk = path("disk");
    fs::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};

    const std::string file = disk + "/prog.asc";
    writeFileReplacing(file, "old text\r\n");
    const Failure failure = failureOf([&] { writeFileReplacing(file, std::string(200000, 'x')); });
    EXPECT_EQ(failure.operation(), kOpWriteFile);
    EXPECT_EQ(failure.reason(), kReasonDiskFull);
    EXPECT_EQ(readFile(file), "old text\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(disk), {}), 1);

    const std::string big = path("big.asc");
    writeFileReplacing(big, std::string(200000, 'y'));
    EXPECT_EQ(failureOf([&] { copyFile(big, disk + "/copy.asc"); }).reason(), kReasonDiskFull);
}
#endif

TEST_F(Files, CopyReplacesTheTarget) {
    const std::string from = path("Test.BOO");
    const std::string to = path("prog.BOO");
    writeFileReplacing(from, allBytes());
    writeFileReplacing(to, std::string(10000, 'o'));
    copyFile(from, to);
    EXPECT_EQ(readFile(to), allBytes());
    copyFile(from, path("new.BOO"));
    EXPECT_EQ(readFile(path("new.BOO")), allBytes());
}

TEST_F(Files, CopyOntoItselfIsDone) {
    const std::string file = path("prog.asc");
    writeFileReplacing(file, "text");
    copyFile(file, file);
    copyFile(file, (dir_ / "." / "prog.asc").string());
    EXPECT_EQ(readFile(file), "text");
}

TEST_F(Files, CopyFailuresNameTheFileAtFault) {
    const std::string source = path("prog.asc");
    writeFileReplacing(source, "text");
    struct Case {
        std::string from, to, blamed, reason;
    };
    const Case cases[] = {
        {path("absent.asc"), path("b.asc"), path("absent.asc"), kReasonNoFile},
        {path("absent.asc"), path("absent.asc"), path("absent.asc"), kReasonNoFile},
        {path(""), path("b.asc"), path(""), kReasonIsFolder},
        {source, path("absent/b.asc"), path("absent/b.asc"), kReasonNoFolder},
        {source, path(""), path(""), kReasonIsFolder},
    };
    for (const Case& c : cases) {
        const Failure failure = failureOf([&] { copyFile(c.from, c.to); });
        EXPECT_EQ(failure.operation(), kOpCopyFile);
        EXPECT_EQ(failure.path(), c.blamed);
        EXPECT_EQ(failure.reason(), c.reason) << c.from << " -> " << c.to;
    }
    EXPECT_EQ(readFile(source), "text");
}

TEST_F(Files, RemoveIfPresent) {
    const std::string file = path("Test.asc");
    writeFileReplacing(file, "x");
    removeFileIfPresent(file);
    EXPECT_FALSE(fileExists(file));
    removeFileIfPresent(file);
    removeFileIfPresent(path("absent/Test.asc"));
    EXPECT_EQ(failureOf([&] { removeFileIfPresent(path("")); }).reason(), kReasonIsFolder);
}
