// GNU binutils for the 68HC11 as an oracle: the tests that use them run the
// programs as whole processes and report themselves skipped when absent.
#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace hc11::test {

#ifdef _WIN32
inline FILE* openPipe(const char* command) {
    return _popen(command, "r");
}
inline int closePipe(FILE* pipe) {
    return _pclose(pipe);
}
#else
inline FILE* openPipe(const char* command) {
    return popen(command, "r");
}
inline int closePipe(FILE* pipe) {
    return pclose(pipe);
}
#endif

// Standard output of a shell command, or nothing when it cannot run or fails.
inline std::optional<std::string> runCommand(const std::string& command) {
    FILE* pipe = openPipe((command + " 2>&1").c_str());
    if (!pipe)
        return std::nullopt;
    std::string out;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    if (closePipe(pipe) != 0)
        return std::nullopt;
    return out;
}

// True when m68hc11-as, m68hc11-objdump and m68hc11-objcopy all answer.
inline bool gnuToolsPresent() {
    static const bool present = [] {
#ifdef _WIN32
        return false; // the Debian tools cannot run under Wine
#else
        for (const char* tool : {"m68hc11-as", "m68hc11-objdump", "m68hc11-objcopy"})
            if (!runCommand(std::string(tool) + " --version"))
                return false;
        return true;
#endif
    }();
    return present;
}

inline constexpr const char* gnuMissing =
    "binutils-m68hc1x absent (m68hc11-as, m68hc11-objdump, m68hc11-objcopy) : "
    "installez-le avec scripts/deps";

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("hc11_oracle_" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace hc11::test
