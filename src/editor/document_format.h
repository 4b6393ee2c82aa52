#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The document file format: the text in the ANSI code page, followed by one
// CR LF that the text itself does not hold.
namespace kavrel::editor {

inline constexpr std::size_t kMaxLoadBytes = 60000;

// Text (UTF-8) of a file's bytes: decoded, one final CR LF removed when the
// file ends with one. No other byte is dropped or changed.
std::string decodeDocument(std::string_view fileBytes);

// Bytes of a file for a text (UTF-8): encoded, then CR LF, always.
std::string encodeDocument(std::string_view text);

} // namespace kavrel::editor
