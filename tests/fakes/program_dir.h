#pragma once

// A temporary program directory holding the fake assembler (as the real one's
// name, executable) and the fake launcher script, with helpers that write
// their control files and read back their logs. Header-only, no Qt.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/native.h"
#include "common/utf8_text.h"
#include "support/temp_files.h"

#ifndef KAVREL_TEST_FAKES_DIR
#error "KAVREL_TEST_FAKES_DIR names the folder of the built fake assembler"
#endif

namespace kavrel::test {

// One run of the fake assembler, as its log tells it.
struct FakeRun {
    std::vector<std::string> args; // argv, argv[0] first
    std::string cwd;
    std::string commandLine;                              // Windows only
    std::vector<std::pair<std::string, std::string>> env; // names asked by "env"
    long long startMs = 0;                                // steady clock
    long long endMs = 0;
};

// Milliseconds of the steady clock, as the fake assembler logs them.
inline long long steadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Parses the fake assembler's log: counted texts ("<n> <bytes>") hold anything.
inline std::vector<FakeRun> parseFakeLog(const std::string& log) {
    std::vector<FakeRun> runs;
    std::size_t at = 0;
    auto word = [&]() {
        const auto end = log.find_first_of(" \n", at);
        std::string w = log.substr(at, end - at);
        at = end == std::string::npos ? log.size() : end + 1;
        return w;
    };
    auto counted = [&]() {
        const std::size_t n = std::stoul(word());
        std::string text = log.substr(at, n);
        at += n + 1; // the text, then its line feed
        return text;
    };
    while (at < log.size()) {
        const std::string key = word();
        if (key == "run")
            runs.emplace_back();
        else if (runs.empty())
            throw std::runtime_error("fake log: record without run");
        else if (key == "start")
            runs.back().startMs = std::stoll(word());
        else if (key == "end")
            runs.back().endMs = std::stoll(word());
        else if (key == "argc")
            word();
        else if (key == "cwd")
            runs.back().cwd = counted();
        else if (key == "arg")
            runs.back().args.push_back(counted());
        else if (key == "cmdline")
            runs.back().commandLine = counted();
        else if (key == "env") {
            std::string name = word();
            runs.back().env.emplace_back(name, counted());
        } else
            throw std::runtime_error("fake log: unknown record " + key);
    }
    return runs;
}

// A program directory: asmhc11 (the fake) and the launcher script (the fake).
// `leaf` names the directory itself, so a test can give it blanks or accents.
class ProgramDir {
public:
    explicit ProgramDir(const std::string& leaf = "programme") : dir_(leaf) {
        namespace fs = std::filesystem;
        const fs::path fakes = u8Path(KAVREL_TEST_FAKES_DIR);
#ifdef _WIN32
        const char* fakeName = "fake_asmhc11.exe";
        const char* fakeLauncher = "fake_launcher.bat";
#else
        const char* fakeName = "fake_asmhc11";
        const char* fakeLauncher = "fake_launcher.sh";
#endif
        fs::copy_file(fakes / fakeName, u8Path(assembler()));
        fs::permissions(u8Path(assembler()), fs::perms::owner_all, fs::perm_options::add);
        if (fs::exists(fakes / fakeLauncher))
            fs::copy_file(fakes / fakeLauncher, u8Path(launcher()));
    }

    std::string path() const {
        return dir_.path();
    }
    std::string file(const std::string& name) const {
        return dir_.file(name);
    }
    std::string assembler() const {
        return dir_.file(platform::kAssemblerName);
    }
    std::string launcher() const {
        return dir_.file(platform::kLauncherName);
    }

    // The fake assembler's orders for the next runs (see fake_asmhc11.cpp).
    void control(const std::string& orders) const {
        writeFileBytes(file("fake_asmhc11.ctl"), orders);
    }
    std::vector<FakeRun> runs() const {
        return parseFakeLog(readFileBytes(file("fake_asmhc11.log")));
    }
    void clearRuns() const {
        std::error_code ignored;
        std::filesystem::remove(u8Path(file("fake_asmhc11.log")), ignored);
    }

    // How long the fake launcher lingers before its "done" line (the batch
    // file always waits about a second).
    void launcherSleep(double seconds) const {
        writeFileBytes(file("fake_launcher.sleep"), std::to_string(seconds) + "\n");
    }
    // Lines of the fake launcher's log: $1, $2, its working directory, then "done".
    std::vector<std::string> launcherLog() const {
        // A line still being written is not counted yet.
        std::vector<std::string> lines;
        const std::string log = readFileBytes(file("fake_launcher.log"));
        for (std::size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
            const std::size_t cr = end > at && log[end - 1] == '\r' ? 1 : 0; // a batch file's CR LF
            lines.push_back(log.substr(at, end - at - cr));
        }
        return lines;
    }
    // Polls the launcher's log until it has `count` lines or the deadline passes.
    std::vector<std::string>
    waitForLauncherLines(std::size_t count,
                         std::chrono::milliseconds deadline = std::chrono::seconds(10)) const {
        const auto until = std::chrono::steady_clock::now() + deadline;
        for (;;) {
            auto lines = launcherLog();
            if (lines.size() >= count || std::chrono::steady_clock::now() > until)
                return lines;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    TempDir dir_;
};

} // namespace kavrel::test
