#include "editor/document_format.h"

#include "platform/code_page.h"

namespace kavrel::editor {

namespace {
constexpr std::string_view kLineEnd = "\r\n";
}

std::string decodeDocument(std::string_view fileBytes) {
    // The saver always adds one CR LF; taking it back makes save-then-open exact.
    if (fileBytes.ends_with(kLineEnd))
        fileBytes.remove_suffix(kLineEnd.size());
    return platform::decodeAnsi(fileBytes);
}

std::string encodeDocument(std::string_view text) {
    std::string bytes = platform::encodeAnsi(text);
    bytes.append(kLineEnd);
    return bytes;
}

} // namespace kavrel::editor
