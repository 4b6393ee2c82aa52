#include "listing.h"

#include "encoding.h"
#include "messages.h"

#include <algorithm>

namespace asmhc11 {

namespace {

constexpr std::size_t bytesPerListingRow = 5;
constexpr std::size_t bytesFieldWidth = 3 * bytesPerListingRow;
constexpr const char* crlf = "\r\n";

void appendHex(std::string& out, unsigned value, int digits) {
    static constexpr char hex[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += hex[(value >> shift) & 0xF];
}

// A number right-aligned in `width` columns.
void appendNumber(std::string& out, long long value, std::size_t width) {
    char digits[24];
    std::size_t n = 0;
    const bool negative = value < 0;
    unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value)
                                    : static_cast<unsigned long long>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative)
        digits[n++] = '-';
    if (n < width)
        out.append(width - n, ' ');
    while (n)
        out += digits[--n];
}

std::string cp(const char* utf8) {
    return utf8ToCp1252(utf8);
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string hexValue(std::int64_t value) {
    std::string text = "$";
    const auto v = static_cast<std::uint64_t>(value);
    appendHex(text, static_cast<unsigned>(v & 0xFFFFFFFF), value > 0xFFFF || value < 0 ? 8 : 4);
    return text;
}

// "    12  0100  86 12          " : line number, address and at most five bytes.
void appendRowPrefix(std::string& row, int number, std::optional<std::uint16_t> address,
                     const std::uint8_t* bytes, std::size_t n) {
    if (number > 0)
        appendNumber(row, number, 6);
    else
        row.append(6, ' ');
    row += "  ";
    if (address)
        appendHex(row, *address, 4);
    else
        row += "    ";
    row += "  ";
    for (std::size_t i = 0; i < n; ++i) {
        if (i)
            row += ' ';
        appendHex(row, bytes[i], 2);
    }
    const std::size_t used = n ? 3 * n - 1 : 0;
    row.append(bytesFieldWidth - used, ' ');
}

} // namespace

std::string makeListing(const Listing& listing, const Result& result, std::string_view sourceName) {
    std::string out = cp(messages::listingTitle);
    out.reserve(listing.lines.size() * 64 + 4096);
    if (!sourceName.empty()) {
        out += " : ";
        out += sourceName;
    }
    out += crlf;
    out += crlf;
    const std::string errorPrefix = cp(messages::listingErrorPrefix);
    const std::string warningPrefix = cp(messages::listingWarningPrefix);
    for (const ListedLine& line : listing.lines) {
        const std::uint8_t* bytes = listing.bytes.data() + line.firstByte;
        const std::size_t first = std::min<std::size_t>(line.byteCount, bytesPerListingRow);
        if (line.value) {
            // An EQU shows the value it gives instead of bytes.
            std::string row;
            appendRowPrefix(row, line.number, std::nullopt, nullptr, 0);
            row.replace(8, 5, padded("=" + hexValue(*line.value).substr(1), 5));
            out += row;
        } else {
            appendRowPrefix(out, line.number, line.address, bytes, first);
        }
        if (line.cycleColumn) {
            if (line.cycles > 0) {
                out += '[';
                appendNumber(out, line.cycles, 2);
                out += "] ";
            } else {
                out += "     ";
            }
        }
        out += "  ";
        for (const char c : line.text) {
            const auto b = static_cast<unsigned char>(c);
            out += (b < 0x20 && b != '\t') || b == 0x7F ? '?' : c;
        }
        out += crlf;
        for (std::size_t i = first; i < line.byteCount; i += bytesPerListingRow) {
            const std::size_t n = std::min<std::size_t>(bytesPerListingRow, line.byteCount - i);
            std::optional<std::uint16_t> address;
            if (line.address)
                address.emplace(static_cast<std::uint16_t>(*line.address + i));
            appendRowPrefix(out, 0, address, bytes + i, n);
            while (out.back() == ' ')
                out.pop_back();
            out += crlf;
        }
        for (const ListedMessage& message : line.messages) {
            out += message.warning ? warningPrefix : errorPrefix;
            out += message.text;
            out += crlf;
        }
    }
    out += crlf;
    out += cp(messages::listingErrorCount) + std::to_string(result.errors.size()) + crlf;
    out += cp(messages::listingByteCount) + std::to_string(result.byteCount) + crlf;
    if (listing.cycleTotal)
        out += cp(messages::listingCycleTotal) + std::to_string(*listing.cycleTotal) + crlf;
    out += cp(messages::listingStart) + hexValue(result.startAddress) + crlf;
    out += crlf;
    out += cp(messages::listingSymbols);
    out += crlf;
    if (result.symbols.empty()) {
        out += cp(messages::listingNoSymbol);
        out += crlf;
    }
    const std::string undefined = cp(messages::listingUndefined);
    for (const Symbol& symbol : result.symbols) {
        out += padded(symbol.name, 24) + ' ';
        out += symbol.value ? hexValue(*symbol.value) : undefined;
        out += crlf;
    }
    if (listing.crossReference) {
        out += crlf;
        out += cp(messages::listingCrossReference);
        out += crlf;
        for (const CrossReference& r : *listing.crossReference) {
            out += padded(r.name, 24) + ' ';
            out += padded(r.value ? hexValue(*r.value) : undefined, 9);
            out += ' ' + cp(messages::listingDefinedAt) + r.definedAt + ", ";
            if (r.usedAt.empty()) {
                out += cp(messages::listingNeverUsed);
            } else {
                out += cp(messages::listingUsedAt);
                for (std::size_t i = 0; i < r.usedAt.size(); ++i)
                    out += (i ? " " : "") + r.usedAt[i];
            }
            out += crlf;
        }
    }
    return out;
}

} // namespace asmhc11
