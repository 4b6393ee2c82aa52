#include "asmhc11/output_formats.h"

#include "common/hex_text.h"

#include <algorithm>

namespace asmhc11 {

namespace {

constexpr std::size_t bytesPerRecord = 32;
constexpr std::size_t minimumBootBytes = 256;
constexpr const char* crlf = "\r\n";

std::string record(char type, std::uint16_t address, const std::uint8_t* data, std::size_t n) {
    std::string line = "S";
    line += type;
    const unsigned count = static_cast<unsigned>(n) + 3;
    unsigned sum = count + (address >> 8) + (address & 0xFF);
    kavrel::hex::append(line, count, 2);
    kavrel::hex::append(line, address, 4);
    for (std::size_t i = 0; i < n; ++i) {
        kavrel::hex::append(line, data[i], 2);
        sum += data[i];
    }
    kavrel::hex::append(line, ~sum & 0xFF, 2);
    return line + crlf;
}

} // namespace

std::string makeS19(const Result& result) {
    std::string out;
    out.reserve(result.byteCount * 2 + result.byteCount / 16 + 64);
    const std::size_t end = result.used.size();
    for (std::size_t a = 0; a < end;) {
        if (!result.used[a]) {
            ++a;
            continue;
        }
        // A run of used bytes, cut every 32 bytes from its start.
        std::size_t n = 1;
        while (n < bytesPerRecord && a + n < end && result.used[a + n])
            ++n;
        out += record('1', static_cast<std::uint16_t>(a), result.memory.data() + a, n);
        a += n;
    }
    out += record('9', result.startAddress, nullptr, 0);
    return out;
}

std::string makeBootImage(const Result& result) {
    std::size_t end = 0;
    for (std::size_t a = 0; a < result.used.size(); ++a)
        if (result.used[a])
            end = a + 1;
    end = std::max(end, minimumBootBytes);
    std::string image(1, static_cast<char>(0xFF));
    for (std::size_t a = 0; a < end; ++a)
        image += static_cast<char>(result.used[a] ? result.memory[a] : 0);
    return image;
}

} // namespace asmhc11
