#include "assembly/split_path.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "assembly/assembly_texts.h"
#include "platform/failure.h"

namespace kavrel::assembly {

namespace {

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters of UTF-8 text: every byte that does not continue a sequence.
std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        count += isContinuationByte(c) ? 0 : 1;
    return count;
}

// Byte offset of the start of character number `characters` (0-based).
std::size_t byteOffsetOf(std::string_view text, std::size_t characters) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(text[i]))
            continue;
        if (seen == characters)
            return i;
        ++seen;
    }
    return text.size();
}

} // namespace

PathParts SplitPath(const std::string& FullPath, char separator) {
    const std::size_t lastSep = FullPath.rfind(separator);
    PathParts parts;
    if (lastSep != std::string::npos)
        parts.Folder = FullPath.substr(0, lastSep + 1);
    const std::string_view name = std::string_view(FullPath).substr(parts.Folder.size());
    const std::size_t characters = characterCount(name);

    // The count (characters - 3) is held in 16 bits: a longer name cannot be split.
    if (characters > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max()) + 3)
        throw Failure(kOpSplitPath, FullPath, kReasonNameTooLong);
    if (characters < 4)
        throw Failure(kOpSplitPath, FullPath, kReasonNameTooShort);

    parts.BaseName = std::string(name.substr(0, byteOffsetOf(name, characters - 4)));
    return parts;
}

} // namespace kavrel::assembly
