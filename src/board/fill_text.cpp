#include "board/fill_text.h"

#include "board/board_texts.h"

#include <vector>

namespace kavrel::board {

std::string fillText(std::string_view text, std::initializer_list<std::string_view> values) {
    const std::vector<std::string_view> args(values);
    std::string out;
    out.reserve(text.size() + 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const std::size_t k = static_cast<std::size_t>(text[i + 1] - '1');
            if (k < args.size()) {
                out += args[k];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string byteCount(std::size_t count) {
    return std::to_string(count) + ' ' + (count < 2 ? kOneByte : kBytes);
}

namespace {
std::string hex(unsigned value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = "$";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kDigits[(value >> shift) & 0xF];
    return out;
}
} // namespace

std::string hexByte(std::uint8_t value) {
    return hex(value, 2);
}

std::string hexAddress(std::uint16_t value) {
    return hex(value, 4);
}

} // namespace kavrel::board
