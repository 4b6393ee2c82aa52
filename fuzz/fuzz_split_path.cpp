// SplitPath against a slow reference: the same parts, or the same documented
// failure with its French reason.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "assembly/assembly_texts.h"
#include "assembly/split_path.h"
#include "fuzz_check.h"
#include "platform/failure.h"

namespace {

bool continues(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

struct Expected {
    std::optional<kavrel::assembly::PathParts> parts;
    const char* reason = nullptr;
};

// Folder: everything up to the last separator; the name loses its last four
// characters, taken from its end one character (lead byte and its
// continuation bytes) at a time.
Expected reference(const std::string& path, char separator) {
    std::size_t cut = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (path[i] == separator)
            cut = i + 1;
    const std::string folder = path.substr(0, cut);
    std::string name = path.substr(cut);
    std::size_t characters = 0;
    for (char c : name)
        characters += continues(c) ? 0 : 1;
    if (characters > 32770)
        return {std::nullopt, kavrel::assembly::kReasonNameTooLong};
    if (characters < 4)
        return {std::nullopt, kavrel::assembly::kReasonNameTooShort};
    for (int removed = 0; removed < 4; ++removed) {
        while (continues(name.back()))
            name.pop_back();
        name.pop_back();
    }
    return {kavrel::assembly::PathParts{name, folder}, nullptr};
}

} // namespace

// Input: one byte choosing the separator and whether to repeat the rest (for
// names near the length limit), then the path.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const char separators[] = {'/', '\\', ':', '\0'};
    const char separator = separators[data[0] & 3];
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string path(rest);
    if ((data[0] & 0x80) && !rest.empty()) {
        // Around 32,770 characters whatever the piece's length.
        const std::size_t times = 32700 / rest.size() + (data[0] >> 2 & 0x1F);
        path.clear();
        for (std::size_t i = 0; i < times; ++i)
            path += rest;
    }

    const Expected expected = reference(path, separator);
    try {
        const kavrel::assembly::PathParts parts = kavrel::assembly::SplitPath(path, separator);
        FUZZ_CHECK(expected.parts.has_value());
        FUZZ_CHECK(parts.Folder == expected.parts->Folder);
        FUZZ_CHECK(parts.BaseName == expected.parts->BaseName);
    } catch (const kavrel::Failure& failure) {
        FUZZ_CHECK(!expected.parts.has_value());
        FUZZ_CHECK(failure.reason() == expected.reason);
        FUZZ_CHECK(failure.operation() == kavrel::assembly::kOpSplitPath);
        FUZZ_CHECK(failure.path() == path);
    }
    return 0;
}
