// The program as Kavrel starts it: a real process on temporary files.
#include "asm_support.h"
#include "asmhc11/cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace asmhc11::test {
namespace {

namespace fs = std::filesystem;

struct ProcessRun {
    int status = -1;
    std::string output;
};

// Starts the assembler with the given argument text, as a shell would split it.
ProcessRun runAssembler(const std::string& arguments) {
    std::string command = std::string("\"") + ASMHC11_EXECUTABLE + "\" " + arguments + " 2>&1";
#ifdef _WIN32
    command = "\"" + command + "\"";
    FILE* pipe = _popen(command.c_str(), "r");
#else
    FILE* pipe = popen(command.c_str(), "r");
#endif
    ProcessRun run;
    if (!pipe)
        return run;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
#ifdef _WIN32
    run.status = _pclose(pipe);
#else
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    return run;
}

std::string quoted(const fs::path& path) {
    return "\"" + pathToUtf8(path) + "\"";
}
std::string quotedBoot(const fs::path& path) {
    return "\"" + pathToUtf8(path) + ";b\"";
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const fs::path& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937_64 random(static_cast<std::uint64_t>(
            std::chrono::steady_clock::now().time_since_epoch().count()));
        dir_ = fs::temp_directory_path() / ("asmhc11_cli_" + std::to_string(random()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path dir_;
};

const char* goodSource = "* essai\r\n ORG $0000\r\nDEBUT LDAA #$12\r\n BRA DEBUT\r\n END DEBUT\r\n";
const char* badSource = " ORG $C000\r\n LDAA RIEN\r\n";

TEST_F(Cli, AssemblesASourceBesideItself) {
    writeAll(dir_ / "prog.asc", goodSource);
    const ProcessRun run = runAssembler(quoted(dir_ / "prog.asc"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("0 erreur, 4 octets"), std::string::npos) << run.output;
    EXPECT_EQ(readAll(dir_ / "prog.S19"), assemble(goodSource).s19);
    EXPECT_NE(readAll(dir_ / "prog.LST").find("DEBUT LDAA"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "prog.BOO"));
    // Nothing but the source and the two outputs: no temporary left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(Cli, ErrorsGiveStatusOneAndOnlyTheListing) {
    writeAll(dir_ / "faux.asc", badSource);
    const ProcessRun run = runAssembler(quoted(dir_ / "faux.asc"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(
        run.output.find(pathToUtf8(dir_ / "faux.asc") + ":2: erreur : symbole non défini : RIEN"),
        std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("1 erreur"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "faux.S19"));
    EXPECT_NE(readAll(dir_ / "faux.LST").find("RIEN"), std::string::npos);
}

TEST_F(Cli, BootFormWritesThreeFiles) {
    writeAll(dir_ / "Test.asc", goodSource);
    const ProcessRun run = runAssembler(quotedBoot(dir_ / "Test"));
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string boo = readAll(dir_ / "Test.BOO");
    ASSERT_EQ(boo.size(), 257u);
    EXPECT_EQ(static_cast<std::uint8_t>(boo[0]), 0xFF);
    EXPECT_EQ(static_cast<std::uint8_t>(boo[1]), 0x86);
    EXPECT_TRUE(fs::exists(dir_ / "Test.LST"));
    EXPECT_TRUE(fs::exists(dir_ / "Test.S19"));
}

TEST_F(Cli, BootFormOutsideTheAreaWritesOnlyTheListing) {
    writeAll(dir_ / "Test.asc", " ORG $C000\r\n NOP\r\n");
    const ProcessRun run = runAssembler(quotedBoot(dir_ / "Test"));
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "Test.BOO"));
    EXPECT_FALSE(fs::exists(dir_ / "Test.S19"));
    EXPECT_TRUE(fs::exists(dir_ / "Test.LST"));
}

TEST_F(Cli, PathWithBlanksAsOneArgumentOrSplit) {
    const fs::path sub = dir_ / "mes projets" / "essai  2";
    fs::create_directories(sub);
    writeAll(sub / "Test.asc", goodSource);
    // One argument, as Kavrel passes it.
    EXPECT_EQ(runAssembler(quotedBoot(sub / "Test")).status, 0);
    EXPECT_TRUE(fs::exists(sub / "Test.BOO"));
#ifndef _WIN32
    // Split by a shell into several arguments with single blanks: joined again.
    const fs::path single = dir_ / "un dossier";
    fs::create_directories(single);
    writeAll(single / "prog.asc", goodSource);
    const ProcessRun split = runAssembler(pathToUtf8(single / "prog.asc"));
    EXPECT_EQ(split.status, 0) << split.output;
    EXPECT_TRUE(fs::exists(single / "prog.S19"));
#endif
}

TEST_F(Cli, UsageAndBadInvocations) {
    const ProcessRun alone = runAssembler("");
    EXPECT_EQ(alone.status, 2);
    EXPECT_NE(alone.output.find("Utilisation"), std::string::npos);
    const ProcessRun help = runAssembler("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Utilisation"), std::string::npos);

    const ProcessRun missing = runAssembler(quoted(dir_ / "absent.asc"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("impossible de lire"), std::string::npos);
    EXPECT_EQ(runAssembler(quotedBoot(dir_ / "absent")).status, 2);
    EXPECT_EQ(runAssembler(quoted(dir_)).status, 2);
}

TEST_F(Cli, RefusesToOverwriteItsSourceWithAnOutput) {
    // "prog.LST" as a source would be replaced by its own listing.
    writeAll(dir_ / "prog.LST", goodSource);
    EXPECT_EQ(runAssembler(quoted(dir_ / "prog.LST")).status, 2);
    EXPECT_EQ(readAll(dir_ / "prog.LST"), goodSource);
}

TEST_F(Cli, ReplacesOlderOutputsWhole) {
    writeAll(dir_ / "prog.asc", goodSource);
    writeAll(dir_ / "prog.S19", std::string(10000, 'x'));
    EXPECT_EQ(runAssembler(quoted(dir_ / "prog.asc")).status, 0);
    EXPECT_EQ(readAll(dir_ / "prog.S19"), assemble(goodSource).s19);
}

TEST_F(Cli, ParsesTheBootSuffixInAnyCaseAndFindsTheSource) {
    writeAll(dir_ / "Test.asc", goodSource);
    Invocation inv = parseArguments(pathToUtf8(dir_ / "Test") + ";B");
    EXPECT_EQ(inv.mode, Mode::Boo);
    EXPECT_EQ(inv.source, dir_ / "Test.asc");
    EXPECT_EQ(inv.base, dir_ / "Test");
    // The source named with its extension.
    inv = parseArguments(pathToUtf8(dir_ / "Test.asc") + ";b");
    EXPECT_EQ(inv.source, dir_ / "Test.asc");
    EXPECT_EQ(inv.base, dir_ / "Test");
    inv = parseArguments(pathToUtf8(dir_ / "a.b" / "prog.asm"));
    EXPECT_EQ(inv.mode, Mode::S19);
    EXPECT_EQ(inv.base, dir_ / "a.b" / "prog");
}

TEST(HelpFile, LiesBesideTheProgramInWindows1252WithCrLf) {
    const std::string help = readAll(ASMHC11_HELP_FILE);
    ASSERT_FALSE(help.empty());
    for (std::size_t i = 0; i < help.size(); ++i) {
        if (help[i] == '\n') {
            EXPECT_TRUE(i > 0 && help[i - 1] == '\r') << "LF seul au rang " << i;
        }
    }
    EXPECT_EQ(help.substr(help.size() - 2), "\r\n");
    // Accents as single bytes: "Assembleur croisé", no UTF-8 sequence.
    EXPECT_NE(help.find("crois\xE9"), std::string::npos);
    EXPECT_EQ(help.find("\xC3\xA9"), std::string::npos);
    EXPECT_NE(help.find("asmhc11 <chemin>;b"), std::string::npos);
}

struct CommandLine {
    const char* line;
    const char* module;
    const char* arguments;
};

TEST(WindowsCommandLine, SkipsTheProgramNameEvenWithBlanks) {
    const CommandLine cases[] = {
        {"C:\\ASM\\asmhc11.exe C:\\Projets\\Test;b", "C:\\ASM\\asmhc11.exe", "C:\\Projets\\Test;b"},
        {"C:\\Mes outils\\asmhc11.exe C:\\Mes projets\\Test;b", "C:\\Mes outils\\asmhc11.exe",
         "C:\\Mes projets\\Test;b"},
        {"c:\\mes outils\\ASMHC11.EXE  x.asc ", "C:\\Mes outils\\asmhc11.exe", "x.asc"},
        {"\"C:\\Mes outils\\asmhc11.exe\" C:\\a b\\x.asc", "", "C:\\a b\\x.asc"},
        {"C:\\Autre dossier\\asmhc11.exe C:\\x.asc", "D:\\ailleurs\\asmhc11.exe", "C:\\x.asc"},
        {"asmhc11 prog.asc", "", "prog.asc"},
        {"C:\\ASM\\asmhc11.exe", "C:\\ASM\\asmhc11.exe", ""},
    };
    for (const CommandLine& c : cases)
        EXPECT_EQ(argumentsFromWindowsCommandLine(c.line, c.module), c.arguments) << c.line;
}

TEST(PosixArguments, AreJoinedWithSingleBlanks) {
    const char* argv[] = {"asmhc11", "/home/u/mes", "projets/Test;b"};
    EXPECT_EQ(joinArguments(3, argv), "/home/u/mes projets/Test;b");
    EXPECT_EQ(joinArguments(1, argv), "");
}

} // namespace
} // namespace asmhc11::test
