// Temporary folders and whole files for the tests, one way for all of them.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/native.h"
#include "common/utf8_text.h"

namespace kavrel::test {

inline std::filesystem::path u8Path(const std::string& text) {
    return utf8::toPath(text);
}

inline std::string u8String(const std::filesystem::path& path) {
    return utf8::fromPath(path);
}

// The whole contents of a file; empty when it cannot be read.
inline std::string readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}
inline std::string readFileBytes(const std::string& path) {
    return readFileBytes(u8Path(path));
}

inline void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + u8String(path));
}
inline void writeFileBytes(const std::string& path, const std::string& bytes) {
    writeFileBytes(u8Path(path), bytes);
}

inline bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(u8Path(path), error);
}

// A fresh folder under the system's temporary folder, removed with its
// content; `leaf` (UTF-8) names a subfolder made in it to work in.
class TempDir {
public:
    explicit TempDir(const std::string& leaf = "") {
        const auto base = std::filesystem::temp_directory_path();
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0;; ++attempt) {
            auto candidate = base / ("kavrel-test-" + std::to_string(random() % 1000000000));
            if (std::filesystem::create_directory(candidate)) {
                root_ = candidate;
                break;
            }
            if (attempt > 100)
                throw std::runtime_error("cannot make a temporary folder");
        }
        dir_ = leaf.empty() ? root_ : root_ / u8Path(leaf);
        std::filesystem::create_directories(dir_);
    }
    ~TempDir() {
        // A process the test started may still hold a file for a moment
        // (Windows will not remove it then).
        for (int attempt = 0; attempt < 50; ++attempt) {
            std::error_code error;
            std::filesystem::remove_all(root_, error);
            if (!error)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& fsPath() const { return dir_; }
    // UTF-8, without a trailing separator.
    std::string path() const { return u8String(dir_); }
    // path() + the system's separator + name.
    std::string file(const std::string& name) const { return platform::inProgramDir(path(), name); }

private:
    std::filesystem::path root_;
    std::filesystem::path dir_;
};

} // namespace kavrel::test
