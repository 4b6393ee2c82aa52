// Every byte sequence survives a decode and an encode, and the document format
// adds exactly one CR LF to what it holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "editor/document_format.h"
#include "fuzz_check.h"
#include "platform/code_page.h"

namespace {

// Well-formed UTF-8 without surrogates or overlong forms, checked the slow way.
bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t length = b < 0x80    ? 1
                             : b >= 0xF8 ? 0
                             : b >= 0xF0 ? 4
                             : b >= 0xE0 ? 3
                             : b >= 0xC0 ? 2
                                         : 0;
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t cp = length == 1 ? b : b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < smallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string text = kavrel::platform::decodeAnsi(bytes);
    FUZZ_CHECK(isUtf8(text));
    FUZZ_CHECK(kavrel::platform::encodeAnsi(text) == bytes);

    // Read as UTF-8 instead, the bytes give one byte per character or per
    // malformed sequence, never more bytes than they hold.
    const std::string encoded = kavrel::platform::encodeAnsi(bytes);
    FUZZ_CHECK(encoded.size() <= bytes.size());
    FUZZ_CHECK(kavrel::platform::encodeAnsi(kavrel::platform::decodeAnsi(encoded)) == encoded);
    if (isUtf8(bytes))
        FUZZ_CHECK(encoded.find('?') != std::string::npos ||
                   kavrel::platform::decodeAnsi(encoded) == bytes);

    // A file's bytes, loaded and saved: unchanged, with the final CR LF added
    // when it lacked one.
    const std::string saved = kavrel::editor::encodeDocument(kavrel::editor::decodeDocument(bytes));
    if (bytes.ends_with("\r\n"))
        FUZZ_CHECK(saved == bytes);
    else
        FUZZ_CHECK(saved == std::string(bytes) + "\r\n");
    return 0;
}
