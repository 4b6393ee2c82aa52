// Windows only: the assembler and the batch launcher started as real
// processes, through CreateProcessA and the command interpreter.
#ifdef _WIN32

#include <gtest/gtest.h>

#include "common/windows_api.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "assembly/launcher.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/process.h"
#include "support/temp_files.h"
#include "support/windows_fake_runs.h"

using namespace kavrel::assembly;
using kavrel::platform::encodeAnsi;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string readAll(const fs::path& file) {
    return kavrel::test::readFileBytes(file);
}

void writeAll(const fs::path& file, const std::string& text) {
    kavrel::test::writeFileBytes(file, text);
}

// Waits for a file that a detached process writes, until it can be read whole:
// for a moment after it appears, its writer may still hold it.
bool waitFor(const fs::path& file, std::chrono::seconds limit = 30s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(file) || readAll(file).empty() || readAll(file).back() != '\n') {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// A test launcher: waits for the file "go" in its folder (some seconds at
// most), so that a start that waited for it shows, then writes its parameters
// with `set`, which prints them without the interpreter parsing them again.
// Quoted `set`s keep & | < > ^ of a parameter from acting.
constexpr const char* kLauncherScript =
    "@echo off\r\n"
    "set KAVREL_WAITED=no\r\n"
    "set n=0\r\n"
    ":wait\r\n"
    "if exist \"%~1\\go\" goto log\r\n"
    "set /a n+=1\r\n"
    "if %n% lss 20000 goto wait\r\n"
    "set KAVREL_WAITED=yes\r\n"
    ":log\r\n"
    "set \"KAVREL_P1=%1\"\r\n"
    "set \"KAVREL_ALL=%*\"\r\n"
    "set KAVREL_>\"%~1\\launcher.tmp\"\r\n"
    "move /y \"%~1\\launcher.tmp\" \"%~1\\launcher.log\" >nul\r\n";

// The variables the test launcher logged, by name.
std::map<std::string, std::string> launcherLog(const fs::path& file) {
    std::map<std::string, std::string> values;
    std::istringstream lines(readAll(file));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

// Wine's command interpreter expands %NAME% even where a caret keeps the real
// one from it, and drops a lone % from a batch parameter: see underWine().
using kavrel::test::underWine;
using kavrel::test::fakeAssemblerExe;
using kavrel::test::fakeRunTable;
using kavrel::test::injectedFiles;

class WindowsLaunch : public kavrel::test::WindowsProgramFolders {};

} // namespace

TEST_F(WindowsLaunch, DirectStartHandsTheArgumentTextOnAsItStands) {
    const fs::path program = programDir("ASM");
    const fs::path work = dir_ / "work";
    fs::create_directories(work);
    const std::string exe = (program / "asmhc11.exe").string();
    const char* const arguments[] = {
        "C:\\Projets\\clignote.asc",
        "C:\\Projets\\Test;b",
        "C:\\Mes sources\\mon  prog.asc",                  // blanks kept, two in a row too
        "\"C:\\x\\a.asc\"",                                // quotes of its own stay
        "C:\\Projets\\\xC3\xA9t\xC3\xA9 \xE2\x82\xAC.asc", // UTF-8, sent in the ANSI code page
        "",
    };
    for (const std::string argument : arguments) {
        SCOPED_TRACE(argument);
        fs::remove(program / "fake_asmhc11.log");
        LaunchAssembler(exe, argument, work.string(), true, false);
        ASSERT_TRUE(fs::exists(program / "fake_asmhc11.log"));
        auto run = fakeRunTable(program / "fake_asmhc11.log");
        EXPECT_EQ(run["cmdline"], encodeAnsi(exe + " " + argument));
        EXPECT_EQ(run["cwd"], work.string());
        EXPECT_EQ(run["arg0"], exe);
    }
}

TEST_F(WindowsLaunch, DirectStartWaitsForTheEndAndLeavesNoHandle) {
    const fs::path program = programDir("ASM");
    const std::string exe = (program / "asmhc11.exe").string();
    writeAll(program / "fake_asmhc11.ctl", "sleep 1500\n");
    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    const auto start = std::chrono::steady_clock::now();
    LaunchAssembler(exe, "prog.asc", program.string(), true, false);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1400ms);
    // The fake writes its log as it ends.
    EXPECT_TRUE(fs::exists(program / "fake_asmhc11.log"));
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(after, before) << "process or thread handle left open";

    fs::remove(program / "fake_asmhc11.log");
    LaunchAssembler(exe, "prog.asc", program.string(), false, false);
    EXPECT_FALSE(fs::exists(program / "fake_asmhc11.log")) << "waited although told not to";
    EXPECT_TRUE(waitFor(program / "fake_asmhc11.log"));
}

TEST_F(WindowsLaunch, DirectStartUnderAFolderWithABlankRunsTheAssemblerNotADecoy) {
    // The unquoted first token would name <dir>\Mes.exe: a decoy that logs
    // beside itself, in <dir>, if it ever runs.
    const fs::path program = programDir("Mes programmes");
    fs::copy_file(fakeAssemblerExe(), dir_ / "Mes.exe");
    const std::string exe = (program / "asmhc11.exe").string();
    const std::string argument = "C:\\Projets\\mon prog.asc";
    LaunchAssembler(exe, argument, program.string(), true, false);

    EXPECT_FALSE(fs::exists(dir_ / "fake_asmhc11.log")) << "the decoy ran";
    ASSERT_TRUE(fs::exists(program / "fake_asmhc11.log")) << "the assembler did not run";
    auto run = fakeRunTable(program / "fake_asmhc11.log");
    // Quoted here only, so that the assembler's own argv starts with its path.
    EXPECT_EQ(run["cmdline"], "\"" + exe + "\" " + argument);
    EXPECT_EQ(run["arg0"], exe);
    EXPECT_EQ(run["arg1"], "C:\\Projets\\mon");
    EXPECT_EQ(run["cwd"], program.string());
}

TEST_F(WindowsLaunch, FailedDirectStartsAreReported) {
    using namespace kavrel::platform;
    const fs::path program = dir_ / "ASM";
    fs::create_directories(program);
    struct Case {
        std::string exe, reason;
    };
    writeAll(program / "texte.exe", "ceci n'est pas un programme\r\n");
    const Case cases[] = {
        {(program / "asmhc11.exe").string(), kReasonNoFile},
        {(dir_ / "absent" / "asmhc11.exe").string(), kReasonNoFolder},
        {(program / "texte.exe").string(), kReasonNotExecutable},
    };
    for (const Case& c : cases) {
        try {
            LaunchAssembler(c.exe, "prog.asc", program.string(), true, false);
            ADD_FAILURE() << c.exe << " started";
        } catch (const kavrel::Failure& failure) {
            EXPECT_EQ(failure.operation(), kOpStartProgram);
            EXPECT_EQ(failure.path(), c.exe);
            EXPECT_EQ(failure.reason(), c.reason) << c.exe;
        }
    }
}

TEST_F(WindowsLaunch, BatchStartPassesTheQuotedFolderAndTheTextAsItStands) {
    struct Case {
        std::string programFolder, argument;
        bool percent = false;
    };
    const std::string src = dir_.string() + "\\src\\";
    const Case cases[] = {
        {"ASM", src + "prog.asc"},
        {"ASM", src + "mon prog.asc"},
        // The launcher's own path is quoted: a folder with a blank still names it.
        {"Mes programmes", src + "prog.asc"},
        {"ASM", src + "a&echo x>pwned1.txt.asc"},
        {"ASM", src + "a|echo x>pwned2.txt.asc"},
        {"ASM", src + "a^&echo x>pwned3.txt.asc"},
        {"ASM", src + "a&&echo x>pwned4.txt&rem .asc"},
        {"ASM", src + "(a)&echo x>pwned5.txt.asc"},
        // Under Wine only what these must not start is checked (see underWine).
        {"ASM", src + "%OS%_%PATH%.asc", true},
        {"ASM", src + "100%.asc", true},
        {"ASM", src + "%OS%&echo x>pwned7.txt&rem %.asc", true},
        {"ASM", src + "a<b>pwned6.asc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.programFolder + " | " + c.argument);
        const fs::path program = dir_ / c.programFolder;
        fs::create_directories(program);
        writeAll(program / "LANCEUR.BAT", kLauncherScript);
        fs::remove(program / "go");
        fs::remove(program / "launcher.log");

        const auto start = std::chrono::steady_clock::now();
        LaunchAssembler("unused.exe", c.argument, program.string(), true, true);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, 10s) << "the batch start waited for the launcher";
        writeAll(program / "go", "");

        ASSERT_TRUE(waitFor(program / "launcher.log")) << "the launcher did not run";
        auto log = launcherLog(program / "launcher.log");
        EXPECT_EQ(log["KAVREL_WAITED"], "no") << readAll(program / "launcher.log");
        EXPECT_EQ(log["KAVREL_P1"], "\"" + program.string() + "\"");
        if (!c.percent || !underWine()) {
            EXPECT_EQ(log["KAVREL_ALL"], "\"" + program.string() + "\" " + c.argument);
        }
        EXPECT_EQ(injectedFiles(dir_), "");
    }
}

TEST_F(WindowsLaunch, BatchStartWithoutLauncherFails) {
    EXPECT_THROW(LaunchAssembler("unused.exe", "prog.asc", (dir_ / "ASM").string(), true, true),
                 kavrel::Failure);
}

#endif // _WIN32
