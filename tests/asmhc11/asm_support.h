// Helpers shared by the assembler tests.
#pragma once

#include "asmhc11/assembler.h"
#include "asmhc11/encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace asmhc11::test {

inline Result assemble(const std::string& source, Mode mode = Mode::S19) {
    return assembleSource(source, mode);
}

// Every assembled byte in address order.
inline std::vector<std::uint8_t> bytesOf(const Result& result) {
    std::vector<std::uint8_t> all;
    for (const Segment& segment : result.segments())
        all.insert(all.end(), segment.bytes.begin(), segment.bytes.end());
    return all;
}

// "86 12" for the bytes 0x86 0x12.
inline std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char buffer[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", b);
        if (!text.empty())
            text += ' ';
        text += buffer;
    }
    return text;
}

// All error messages of a result in UTF-8, one per line, with their line numbers.
inline std::string errorsOf(const Result& result) {
    std::string text;
    for (const Diagnostic& d : result.errors)
        text += std::to_string(d.line) + ": " + cp1252ToUtf8(d.message) + "\n";
    return text;
}

// A folder of its own for each test, with an "inc" folder for included
// files, removed afterwards.
class SourceFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        dir_ = std::filesystem::temp_directory_path() / ("asmhc11_src_" + std::to_string(random()));
        std::filesystem::create_directories(dir_ / "inc");
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    static void write(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::filesystem::path dir_;
};

} // namespace asmhc11::test
