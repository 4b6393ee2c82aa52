#include "editor/save_filter.h"

#include <vector>

namespace kavrel::editor {

namespace {

// ASCII letters only: the bytes of a multi-byte UTF-8 character are all above
// 0x7F and stay as they are, so they can never form one of the three names.
std::string asciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

// Qt separates the patterns of one entry by blanks, the common dialog by ';'.
std::string qtPatterns(std::string_view pattern) {
    std::string patterns;
    for (std::string_view one : split(pattern, ';')) {
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        while (!one.empty() && one.back() == ' ')
            one.remove_suffix(1);
        if (one.empty())
            continue;
        if (!patterns.empty())
            patterns += ' ';
        patterns += one;
    }
    return patterns.empty() ? std::string("*") : patterns;
}

std::string parenthesised(std::string_view inside) {
    std::string text;
    text.reserve(inside.size() + 2);
    text += '(';
    text.append(inside);
    text += ')';
    return text;
}

std::string qtEntry(std::string_view description, std::string_view pattern) {
    const std::string shown = parenthesised(qtPatterns(pattern));
    const std::string given = parenthesised(pattern);
    std::string entry;
    if (!pattern.empty() && description.ends_with(given)) {
        description.remove_suffix(given.size());
        entry.append(description);
    } else if (!description.empty()) {
        entry.append(description);
        entry += ' ';
    }
    entry += shown;
    return entry;
}

} // namespace

std::string saveFilterFor(std::string_view caption) {
    const std::string upper = asciiUpper(caption);
    std::string filter;
    if (upper.find("ASC") != std::string::npos)
        filter = kFilterAsc;
    if (upper.find("LST") != std::string::npos)
        filter = kFilterLst;
    if (upper.find("TXT") != std::string::npos)
        filter = kFilterTxt;
    return filter;
}

std::string toQtFilter(std::string_view filterList) {
    if (filterList.empty())
        return {};
    const std::vector<std::string_view> parts = split(filterList, '|');
    std::string qt;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        if (!qt.empty())
            qt += ";;";
        // A description left without its pattern lists every file.
        qt += qtEntry(parts[i], i + 1 < parts.size() ? parts[i + 1] : std::string_view("*"));
    }
    return qt;
}

} // namespace kavrel::editor
