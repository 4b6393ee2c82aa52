#include "platform/code_page.h"

#include "platform/utf8_reader.h"

namespace kavrel::platform {

using namespace detail;

Unencodable findUnencodable(std::string_view utf8) {
    Unencodable found;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = asciiPrefix(utf8.data(), n);
    while (i < n) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        const Utf8Sequence sequence = nextUtf8(s, n, i);
        if (!sequence.valid || !encodable(sequence.codePoint)) {
            if (found.count++ == 0)
                found.firstOffset = i;
        }
        i += sequence.length;
    }
    return found;
}

} // namespace kavrel::platform
