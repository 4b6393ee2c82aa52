#pragma once

// Windows only: what the tests that start real processes through the command
// interpreter share. The fake assembler, its one-run log read as a table, the
// files an injected command would leave, and whether Wine runs the tests.

#ifdef _WIN32

#include "common/windows_api.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace kavrel::test {

// The fake assembler, at its fixed place in the build tree beside this
// program's own folder; else where the build says it is (a path of the build
// machine, which Wine does not always take as such).
inline std::filesystem::path fakeAssemblerExe() {
    namespace fs = std::filesystem;
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path beside = fs::path(std::wstring(self, n)).parent_path().parent_path() /
                            "tests" / "fakes" / "fake_asmhc11.exe";
#ifdef KAVREL_TEST_FAKES_DIR
    if (!fs::exists(beside))
        return fs::path(KAVREL_TEST_FAKES_DIR) / "fake_asmhc11.exe";
#endif
    return beside;
}

// One run of the fake, as it logged it: "cwd", "cmdline", "arg0", "arg1"...,
// and "args", their count.
inline std::map<std::string, std::string> fakeRunTable(const std::filesystem::path& log) {
    std::map<std::string, std::string> run;
    std::istringstream in(readFileBytes(log));
    int args = 0;
    for (std::string key; in >> key;) {
        if (key == "cwd" || key == "arg" || key == "cmdline") {
            std::size_t length = 0;
            in >> length;
            in.get();
            std::string text(length, '\0');
            in.read(text.data(), static_cast<std::streamsize>(length));
            run[key == "arg" ? "arg" + std::to_string(args++) : key] = text;
        } else {
            std::string rest;
            std::getline(in, rest);
            run[key] = rest;
        }
    }
    run["args"] = std::to_string(args);
    return run;
}

// Every file under `dir` whose name holds "pwned", removed once named so that
// each case answers for its own.
inline std::string injectedFiles(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    std::string found;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.path().filename().string().find("pwned") != std::string::npos)
            files.push_back(entry.path());
    for (const auto& file : files) {
        found += file.string() + " ";
        fs::remove(file);
    }
    return found;
}

// Wine's command interpreter differs from Windows' in places the tests name.
inline bool underWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Program directories holding the fake as asmhc11.exe (its log lands beside
// it), in a test folder that is also the current folder while a test runs:
// the command interpreter inherits it, so an injected command would write its
// file there.
class WindowsProgramFolders : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override { std::filesystem::current_path(saved_); }
    std::filesystem::path programDir(const std::string& folder) const {
        const std::filesystem::path program = dir_ / folder;
        std::filesystem::create_directories(program);
        std::filesystem::copy_file(fakeAssemblerExe(), program / "asmhc11.exe",
                                   std::filesystem::copy_options::overwrite_existing);
        return program;
    }
    TempDir temp_;
    const std::filesystem::path dir_ = temp_.fsPath();

private:
    std::filesystem::path saved_;
};

} // namespace kavrel::test

#endif // _WIN32
