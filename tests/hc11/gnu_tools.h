// GNU binutils for the 68HC11 as an oracle: the tests that use them run the
// programs as whole processes and report themselves skipped when absent.
#pragma once

#include <array>
#include <cctype>
#include <cstdint>
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

// One instruction of m68hc11-objdump's listing: "  f0:\t18 1e 01 01 \tbrset\t0x1,y, ..."
// and its continuation lines that hold the rest of the bytes.
struct DumpedInstruction {
    int address = 0;
    int length = 0;
    std::string mnemonic; // upper case; ".BYTE" where GNU decodes nothing
    std::string operands; // as GNU writes them
};

inline std::vector<DumpedInstruction> parseObjdump(const std::string& output) {
    std::vector<DumpedInstruction> out;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        const std::size_t tab1 = line.find('\t');
        const std::size_t colon = line.find(':');
        if (tab1 == std::string::npos || colon == std::string::npos || colon > tab1)
            continue;
        const std::size_t tab2 = line.find('\t', tab1 + 1);
        const std::string bytes =
            line.substr(tab1 + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab1 - 1);
        int count = 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
            if (std::isxdigit(static_cast<unsigned char>(bytes[i])) &&
                std::isxdigit(static_cast<unsigned char>(bytes[i + 1])) &&
                (i == 0 || bytes[i - 1] == ' '))
                ++count;
        std::string text = tab2 == std::string::npos ? std::string() : line.substr(tab2 + 1);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.pop_back();
        if (text.empty()) {
            if (!out.empty())
                out.back().length += count;
            continue;
        }
        DumpedInstruction d;
        d.address = std::stoi(line.substr(0, colon), nullptr, 16);
        d.length = count;
        const std::size_t tab3 = text.find('\t');
        d.mnemonic = text.substr(0, tab3);
        for (char& c : d.mnemonic)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (tab3 != std::string::npos)
            d.operands = text.substr(tab3 + 1);
        out.push_back(d);
    }
    return out;
}

// Each opcode of a page at its own 8-byte slot, its operand bytes and the rest
// of the slot filled with $01 (NOP), so that GNU reads one instruction per slot.
inline std::string pageImage(std::uint8_t prebyte) {
    std::string image;
    for (int b = 0; b < 256; ++b) {
        std::string slot(8, '\x01');
        std::size_t at = 0;
        if (prebyte)
            slot[at++] = static_cast<char>(prebyte);
        slot[at] = static_cast<char>(b);
        image += slot;
    }
    return image;
}

// What objdump reads in a binary file, or nothing when it fails.
inline std::optional<std::vector<DumpedInstruction>> objdump(const std::filesystem::path& file) {
    const auto out =
        runCommand("m68hc11-objdump -D -b binary -m m68hc11 \"" + file.string() + "\"");
    if (!out)
        return std::nullopt;
    return parseObjdump(*out);
}

} // namespace hc11::test
