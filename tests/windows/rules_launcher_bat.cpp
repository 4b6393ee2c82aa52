// Windows only: the default LANCEUR.BAT, started by Kavrel's batch start
// through the command interpreter, with the fake assembler as asmhc11.exe.
#ifdef _WIN32

#include <gtest/gtest.h>

#include "common/windows_api.h"

#include <tlhelp32.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "assembly/launcher.h"
#include "platform/code_page.h"
#include "support/temp_files.h"
#include "support/windows_fake_runs.h"

using namespace kavrel::assembly;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

fs::path ownFolder() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(std::wstring(self, n)).parent_path();
}

// The build copies the batch file beside the test programs.
fs::path shippedLauncher() { return ownFolder() / "LANCEUR.BAT"; }

bool complete(const fs::path& file) {
    const std::string text = kavrel::test::readFileBytes(file);
    return !text.empty() && text.find("\nend ") != std::string::npos && text.back() == '\n';
}

bool waitFor(const fs::path& file, std::chrono::seconds limit = 30s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(file) || !complete(file)) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The command interpreters this process started and that still run.
std::vector<DWORD> ownInterpreters() {
    std::vector<DWORD> found;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            _wcsicmp(entry.szExeFile, L"cmd.exe") == 0)
            found.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

void closeInterpreters() {
    for (const DWORD id : ownInterpreters()) {
        if (const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
}

using kavrel::test::underWine;
using kavrel::test::fakeAssemblerExe;
using kavrel::test::fakeRunTable;
using kavrel::test::injectedFiles;

// Runs the launcher as the command interpreter runs it, without Kavrel, and
// answers its exit status.
DWORD runLauncher(const fs::path& program, const std::wstring& arguments) {
    std::wstring line = L"cmd.exe /d /c \"\"" + (program / "LANCEUR.BAT").wstring() + L"\" " +
                        arguments + L"\"";
    // Its keyboard is the null device: its pause for a key ends at once.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                   nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION info{};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &info)) {
        if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &code);
        else
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    CloseHandle(nul);
    return code;
}

class LauncherBat : public kavrel::test::WindowsProgramFolders {
protected:
    void TearDown() override {
        closeInterpreters();
        WindowsProgramFolders::TearDown();
    }
    // The shipped launcher beside the fake.
    fs::path programDir(const std::string& folder) const {
        const fs::path program = WindowsProgramFolders::programDir(folder);
        fs::copy_file(shippedLauncher(), program / "LANCEUR.BAT",
                      fs::copy_options::overwrite_existing);
        return program;
    }
};

} // namespace

TEST_F(LauncherBat, RunsTheAssemblerOnTheSourceAsWrittenAndWaitsForAKey) {
    ASSERT_TRUE(fs::exists(shippedLauncher())) << shippedLauncher();
    // The sources' folder does not exist: the fake writes no output there.
    const std::string src = dir_.string() + "\\src\\";
    const struct {
        std::string programFolder, source;
    } cases[] = {
        {"ASM", src + "prog.asc"},
        {"Mes programmes", src + "mon  prog.asc"},
        {"Kavrel (1)", src + "prog.asc"},
        {"ASM", src + "a&echo x>pwned1.txt.asc"},
        {"ASM", src + "a|echo x>pwned2.txt.asc"},
        {"ASM", src + "(a)&echo x>pwned3.txt&rem .asc"},
        {"ASM", src + "a^&echo x>pwned4.txt.asc"},
        {"ASM", src + "a!OS!&echo x>pwned5.txt.asc"},
        {"ASM", src + "a<b>pwned6.asc"},
        {"ASM", src + "\xC3\xA9t\xC3\xA9;b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programFolder + " | " + c.source);
        const fs::path program = programDir(c.programFolder);
        fs::remove(program / "fake_asmhc11.log");

        LaunchAssembler("unused.exe", c.source, program.string(), true, true);
        ASSERT_TRUE(waitFor(program / "fake_asmhc11.log")) << "asmhc11.exe did not run";
        auto run = fakeRunTable(program / "fake_asmhc11.log");
        const std::string exe = (program / "asmhc11.exe").string();
        // The assembler reads the text after its own quoted path, as in a
        // direct start. Wine's interpreter expands !NAME! again inside the
        // value of a !variable!, which Windows' does not: under Wine a name
        // holding ! is only checked to start nothing else.
        if (c.source.find('!') == std::string::npos || !underWine()) {
            EXPECT_EQ(run["cmdline"], kavrel::platform::encodeAnsi("\"" + exe + "\" " + c.source));
        }
        EXPECT_EQ(run["cwd"], program.string());
        EXPECT_EQ(injectedFiles(dir_), "");
        // The console stays, waiting for a key, after the assembler ended.
        // Wine's console of a process started without a display has no
        // keyboard: its pause returns at once, so only Windows shows the wait.
        if (!underWine()) {
            std::this_thread::sleep_for(300ms);
            EXPECT_EQ(ownInterpreters().size(), 1u) << "the launcher did not wait for a key";
        }
        closeInterpreters();
    }
}

TEST_F(LauncherBat, RefusesWhatItCannotPassOnAndRunsNothing) {
    // No source: how to use it.
    const fs::path program = programDir("ASM");
    EXPECT_EQ(runLauncher(program, L"\"" + program.wstring() + L"\""), 2u);
    EXPECT_FALSE(fs::exists(program / "fake_asmhc11.log"));

    // A program folder the interpreter would cut at its & : refused whole,
    // before any part of the line is read.
    const fs::path odd = programDir("A&md made_by_the_folder");
    EXPECT_EQ(runLauncher(odd, L"\"" + odd.wstring() + L"\" prog.asc"), 3u);
    EXPECT_FALSE(fs::exists(odd / "fake_asmhc11.log"));
    EXPECT_FALSE(fs::exists(dir_ / "made_by_the_folder"));
}

#endif // _WIN32
