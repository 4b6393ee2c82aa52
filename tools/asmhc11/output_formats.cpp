#include "output_formats.h"

#include "encoding.h"
#include "messages.h"

#include <cstdio>

namespace asmhc11 {

namespace {

constexpr std::size_t bytesPerRecord = 32;
constexpr std::size_t bytesPerListingRow = 5;
constexpr std::size_t minimumBootBytes = 256;
constexpr const char* crlf = "\r\n";

void appendHex(std::string& out, unsigned value, int digits) {
    static constexpr char hex[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += hex[(value >> shift) & 0xF];
}

std::string record(char type, std::uint16_t address, const std::uint8_t* data, std::size_t n) {
    std::string line = "S";
    line += type;
    const unsigned count = static_cast<unsigned>(n) + 3;
    unsigned sum = count + (address >> 8) + (address & 0xFF);
    appendHex(line, count, 2);
    appendHex(line, address, 4);
    for (std::size_t i = 0; i < n; ++i) {
        appendHex(line, data[i], 2);
        sum += data[i];
    }
    appendHex(line, ~sum & 0xFF, 2);
    return line + crlf;
}

std::string cp(const char* utf8) {
    return utf8ToCp1252(utf8);
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

// "   12  0100  86 12" : line number, address and at most five bytes.
std::string rowPrefix(int number, std::optional<std::uint16_t> address, const std::uint8_t* bytes,
                      std::size_t n) {
    char buffer[16];
    std::string row;
    if (number > 0) {
        std::snprintf(buffer, sizeof buffer, "%6d", number);
        row += buffer;
    } else {
        row += "      ";
    }
    row += "  ";
    if (address)
        appendHex(row, *address, 4);
    else
        row += "    ";
    row += "  ";
    std::string field;
    for (std::size_t i = 0; i < n; ++i) {
        if (i)
            field += ' ';
        appendHex(field, bytes[i], 2);
    }
    return row + padded(field, 3 * bytesPerListingRow);
}

std::string hexValue(std::int64_t value) {
    std::string text = "$";
    const auto v = static_cast<std::uint64_t>(value);
    appendHex(text, static_cast<unsigned>(v & 0xFFFFFFFF), value > 0xFFFF || value < 0 ? 8 : 4);
    return text;
}

} // namespace

std::string makeS19(const Result& result) {
    std::string out;
    for (const Segment& segment : result.segments()) {
        for (std::size_t offset = 0; offset < segment.bytes.size(); offset += bytesPerRecord) {
            const std::size_t n = std::min(bytesPerRecord, segment.bytes.size() - offset);
            out += record('1', static_cast<std::uint16_t>(segment.address + offset),
                          segment.bytes.data() + offset, n);
        }
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

std::string makeListing(const std::vector<ListedLine>& lines, const Result& result,
                        std::string_view sourceName) {
    std::string out = cp(messages::listingTitle);
    if (!sourceName.empty()) {
        out += " : ";
        out += sourceName;
    }
    out += crlf;
    out += crlf;
    for (const ListedLine& line : lines) {
        const std::size_t first = std::min(line.bytes.size(), bytesPerListingRow);
        std::string row = rowPrefix(line.number, line.address, line.bytes.data(), first);
        if (line.value) {
            // An EQU shows the value it gives instead of bytes.
            row = rowPrefix(line.number, std::nullopt, nullptr, 0);
            row.replace(8, 5, padded("=" + hexValue(*line.value).substr(1), 5));
        }
        row += "  ";
        for (const char c : line.text) {
            const auto b = static_cast<unsigned char>(c);
            row += (b < 0x20 && b != '\t') || b == 0x7F ? '?' : c;
        }
        out += row;
        out += crlf;
        for (std::size_t i = first; i < line.bytes.size(); i += bytesPerListingRow) {
            const std::size_t n = std::min(bytesPerListingRow, line.bytes.size() - i);
            std::optional<std::uint16_t> address;
            if (line.address)
                address.emplace(static_cast<std::uint16_t>(line.address.value_or(0) + i));
            std::string continuation = rowPrefix(0, address, line.bytes.data() + i, n);
            while (!continuation.empty() && continuation.back() == ' ')
                continuation.pop_back();
            out += continuation;
            out += crlf;
        }
        for (const std::string& error : line.errors) {
            out += cp(messages::listingErrorPrefix);
            out += error;
            out += crlf;
        }
    }
    out += crlf;
    out += cp(messages::listingErrorCount) + std::to_string(result.errors.size()) + crlf;
    out += cp(messages::listingByteCount) + std::to_string(result.byteCount) + crlf;
    out += cp(messages::listingStart) + hexValue(result.startAddress) + crlf;
    out += crlf;
    out += cp(messages::listingSymbols);
    out += crlf;
    if (result.symbols.empty()) {
        out += cp(messages::listingNoSymbol);
        out += crlf;
    }
    for (const Symbol& symbol : result.symbols) {
        out += padded(symbol.name, 24) + ' ';
        out += symbol.value ? hexValue(*symbol.value) : cp(messages::listingUndefined);
        out += crlf;
    }
    return out;
}

} // namespace asmhc11
