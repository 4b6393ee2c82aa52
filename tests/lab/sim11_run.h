// sim11 started as a real process in a folder of the test's own: the files it
// reads written there, what it prints read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace lab::test {

inline std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Outcome {
    int status = -1;
    std::string out; // the SCI's bytes, as sent
    std::string err; // the diagnostics, their lines ending in LF on every system
};

class Sim11Run : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("lab_sim11_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Writes a file of the folder; its path, quoted for the command line.
    std::string file(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return "\"" + (dir_ / name).string() + "\"";
    }

    // `sim11 <arguments>`, `input` on its standard input.
    Outcome sim(const std::string& arguments, const std::string& input = "") {
        file("in", input);
        std::string command = std::string("\"") + SIM11_EXECUTABLE + "\" " + arguments + " < \"" +
                              (dir_ / "in").string() + "\" > \"" + (dir_ / "out").string() +
                              "\" 2> \"" + (dir_ / "err").string() + "\"";
#ifdef _WIN32
        command = "\"" + command + "\"";
#endif
        Outcome run;
        const int raw = std::system(command.c_str());
#ifdef _WIN32
        run.status = raw;
#else
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        run.out = readAll(dir_ / "out");
        // On Windows the diagnostics are text: their lines end in CR LF.
        run.err = readAll(dir_ / "err");
        std::erase(run.err, '\r');
        return run;
    }

    std::filesystem::path dir_;
};

} // namespace lab::test
