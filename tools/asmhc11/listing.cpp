#include "asmhc11/listing.h"

#include "asmhc11/encoding.h"
#include "asmhc11/messages.h"
#include "common/hex_text.h"

#include <algorithm>
#include <cstring>

namespace asmhc11 {

namespace {

constexpr std::size_t bytesPerListingRow = 5;
constexpr std::size_t bytesFieldWidth = 3 * bytesPerListingRow;
constexpr const char* crlf = "\r\n";

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
    kavrel::hex::append(text, static_cast<unsigned>(v & 0xFFFFFFFF),
                        value > 0xFFFF || value < 0 ? 8 : 4);
    return text;
}

// "    12  0100  86 12          " : line number, address and at most five bytes,
// made in a buffer and appended at once.
void appendRowPrefix(std::string& row, int number, std::optional<std::uint16_t> address,
                     const std::uint8_t* bytes, std::size_t n) {
    using kavrel::hex::digit;
    char buffer[6 + 2 + 4 + 2 + bytesFieldWidth];
    std::memset(buffer, ' ', sizeof buffer);
    std::size_t skip = 0;
    if (number > 999999) {
        row += std::to_string(number); // more than six digits: the columns shift
        skip = 6;
    } else if (number > 0) {
        for (int i = 5, v = number; v; --i, v /= 10)
            buffer[i] = static_cast<char>('0' + v % 10);
    }
    if (address)
        for (int i = 0; i < 4; ++i)
            buffer[8 + i] = digit(*address >> (12 - 4 * i));
    for (std::size_t i = 0; i < n; ++i) {
        buffer[14 + 3 * i] = digit(bytes[i] >> 4);
        buffer[15 + 3 * i] = digit(bytes[i]);
    }
    row.append(buffer + skip, sizeof buffer - skip);
}

// The source text with control characters shown as '?'.
void appendText(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b < 0x20 && b != '\t') || b == 0x7F) {
            out.append(text.data() + start, i - start);
            out += '?';
            start = i + 1;
        }
    }
    out.append(text.data() + start, text.size() - start);
}

} // namespace

void ListingWriter::begin(std::string_view title, std::size_t lineCount) {
    std::string& out = out_;
    out.clear();
    out.reserve(lineCount * 56 + 4096);
    out += cp(messages::listingTitle);
    if (!title.empty()) {
        out += " : ";
        out += title;
    }
    out += crlf;
    out += crlf;
    errorPrefix_ = cp(messages::listingErrorPrefix);
    warningPrefix_ = cp(messages::listingWarningPrefix);
}

void ListingWriter::add(const ListedLine& line) {
    std::string& out = out_;
    {
        const std::uint8_t* bytes = line.bytes;
        const std::size_t first = std::min<std::size_t>(line.byteCount, bytesPerListingRow);
        if (line.value) {
            // An EQU shows the value it gives instead of bytes.
            std::string row;
            appendRowPrefix(row, line.number, std::nullopt, nullptr, 0);
            std::string value = "=";
            value += hexValue(*line.value).substr(1);
            row.replace(8, 5, padded(std::move(value), 5));
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
        appendText(out, line.text);
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
            out += message.warning ? warningPrefix_ : errorPrefix_;
            out += message.text;
            out += crlf;
        }
    }
}

std::string ListingWriter::finish(const Result& result, std::optional<long long> cycleTotal,
                                  const std::vector<CrossReference>* crossReference) {
    std::string& out = out_;
    out += crlf;
    out += cp(messages::listingErrorCount) + std::to_string(result.errors.size()) + crlf;
    out += cp(messages::listingByteCount) + std::to_string(result.byteCount) + crlf;
    if (cycleTotal)
        out += cp(messages::listingCycleTotal) + std::to_string(*cycleTotal) + crlf;
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
    if (crossReference) {
        out += crlf;
        out += cp(messages::listingCrossReference);
        out += crlf;
        for (const CrossReference& r : *crossReference) {
            out += padded(r.name, 24) + ' ';
            out += padded(r.value ? hexValue(*r.value) : undefined, 9);
            out += ' ';
            out += cp(messages::listingDefinedAt);
            out += r.definedAt;
            out += ", ";
            if (r.usedAt.empty()) {
                out += cp(messages::listingNeverUsed);
            } else {
                out += cp(messages::listingUsedAt);
                for (std::size_t i = 0; i < r.usedAt.size(); ++i) {
                    if (i)
                        out += ' ';
                    out += r.usedAt[i];
                }
            }
            out += crlf;
        }
    }
    return std::move(out_);
}

} // namespace asmhc11
