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

} // namespace kavrel::board
