// The caret's line and column, computed many bytes at a time, against a walk
// over the text one byte at a time.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "editor/caret_position.h"
#include "fuzz_check.h"

namespace {

// Lines end at LF; a column counts characters, that is bytes that do not
// continue a UTF-8 sequence. An offset on one of the (at most three)
// continuation bytes of a character stands at that character's lead byte.
kavrel::editor::CaretPosition reference(std::string_view text, std::size_t offset) {
    std::size_t end = offset < text.size() ? offset : text.size();
    for (int back = 0; back < 3 && end > 0 && end < text.size() &&
                       (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
         ++back)
        --end;
    kavrel::editor::CaretPosition position;
    for (std::size_t i = 0; i < end; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\n') {
            ++position.line;
            position.column = 0;
        } else if ((b & 0xC0) != 0x80) {
            ++position.column;
        }
    }
    return position;
}

} // namespace

// Input: four bytes of offset, then the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    std::uint32_t raw;
    std::memcpy(&raw, data, 4);
    // A copy of exactly the text's size, so that any read past it is caught.
    const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
    // Offsets mostly inside the text, sometimes past its end, sometimes huge.
    std::size_t offset = raw % (text.size() + 3);
    if (raw >> 31)
        offset = raw;

    const auto fast = kavrel::editor::caretPosition(text, offset);
    const auto slow = reference(text, offset);
    FUZZ_CHECK(fast == slow);
    FUZZ_CHECK(kavrel::editor::caretPosition(text, std::string::npos) ==
               reference(text, text.size()));
    return 0;
}
