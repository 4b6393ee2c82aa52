#include "terminal/serial_text.h"

#include "common/hex_text.h"

namespace kavrel::terminal {

namespace {

// Windows-1252 from 0x80 to 0x9F; 0 where the code page assigns nothing.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The byte of a code point in Windows-1252, '?' where it has none.
char encode1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0 && kHigh[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

// Reads one code point from UTF-8; nullopt (and one byte consumed) when the
// sequence is malformed.
std::optional<char32_t> nextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80)
        return lead;
    int length = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 3;
        cp = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (at + static_cast<std::size_t>(length) > text.size())
        return std::nullopt;
    for (int i = 0; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    at += static_cast<std::size_t>(length);
    return cp;
}

} // namespace

std::string_view lineEndBytes(LineEnd end) {
    return end == LineEnd::CrLf ? std::string_view("\r\n") : std::string_view("\r");
}

bool isPrintable(std::uint8_t byte) {
    if (byte < 0x20 || byte == 0x7F)
        return false;
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80] != 0;
    return true;
}

std::string visibleByte(std::uint8_t byte) {
    std::string out;
    if (byte < 0x20) {
        appendUtf8(out, 0x2400 + byte);
    } else if (byte == 0x7F) {
        appendUtf8(out, 0x2421);
    } else if (byte >= 0x80 && byte < 0xA0 && kHigh[byte - 0x80] == 0) {
        appendUtf8(out, 0x27E8);
        hex::append(out, byte, 2);
        appendUtf8(out, 0x27E9);
    } else if (byte >= 0x80 && byte < 0xA0) {
        appendUtf8(out, kHigh[byte - 0x80]);
    } else {
        appendUtf8(out, byte);
    }
    return out;
}

void ReceivedText::put(std::string& out, std::uint8_t byte) {
    if (column_ >= maxLineLength_) {
        out += '\n';
        column_ = 0;
    }
    out += visibleByte(byte);
    ++column_;
}

std::string ReceivedText::feed(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (heldCr_) {
            heldCr_ = false;
            if (byte == '\n') {
                out += '\n';
                column_ = 0;
                continue;
            }
            put(out, '\r');
        }
        if (byte == '\r') {
            heldCr_ = true;
        } else if (byte == '\n') {
            out += '\n';
            column_ = 0;
        } else {
            put(out, byte);
        }
    }
    return out;
}

void ReceivedText::reset() {
    column_ = 0;
    heldCr_ = false;
}

std::string typedBytes(std::string_view utf8, LineEnd end) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto cp = nextCodePoint(utf8, at);
        if (!cp) {
            out += '?';
        } else if (*cp == '\r') {
            if (at < utf8.size() && utf8[at] == '\n')
                ++at;
            out += lineEndBytes(end);
        } else if (*cp == '\n' || *cp == 0x2028 || *cp == 0x2029) {
            out += lineEndBytes(end);
        } else {
            out += encode1252(*cp);
        }
    }
    return out;
}

std::string fileBytesToSend(std::string_view bytes, LineEnd end) {
    if (!bytes.empty() && bytes.back() == '\x1A')
        bytes.remove_suffix(1);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            out += lineEndBytes(end);
        } else if (bytes[i] == '\n') {
            out += lineEndBytes(end);
        } else {
            out += bytes[i];
        }
    }
    return out;
}

std::optional<std::uint8_t> controlCode(char key) {
    if (key >= 'a' && key <= 'z')
        return static_cast<std::uint8_t>(key - 'a' + 1);
    if (key >= '@' && key <= '_') // @, A-Z, [ \ ] ^ _
        return static_cast<std::uint8_t>(key - '@');
    return std::nullopt;
}

} // namespace kavrel::terminal
