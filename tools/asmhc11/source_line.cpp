#include "asmhc11/source_line.h"

#include <algorithm>

namespace asmhc11 {

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperChar(a[i]) != upperChar(b[i]))
            return false;
    return true;
}

SourceLine splitFields(std::string_view line) {
    SourceLine f;
    if (line.empty() || line[0] == '*' || line[0] == ';')
        return f;
    auto token = [&](std::size_t& i) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]) && line[i] != ';')
            ++i;
        return line.substr(start, i - start);
    };
    std::size_t i = 0;
    std::string_view first = token(i);
    const std::size_t colon = first.find(':');
    if (!isBlank(line[0]) && line[0] != '#') {
        f.labelInColumnOne = true;
        if (colon != std::string_view::npos) {
            // "LABEL:LDAA #1" with no blank after the colon.
            f.label = first.substr(0, colon);
            i = static_cast<std::size_t>(first.data() - line.data()) + colon + 1;
        } else {
            f.label = first;
        }
        first = token(i);
    } else if (colon != std::string_view::npos && first[0] != '#') {
        f.label = first.substr(0, colon);
        i = static_cast<std::size_t>(first.data() - line.data()) + colon + 1;
        first = token(i);
    }
    if (first.empty() || first[0] == '*')
        return f;
    f.operation = first;
    f.rest = line.substr(i);
    return f;
}

std::size_t skipQuoted(std::string_view text, std::size_t i) {
    if (text[i] == '\'') {
        i += 2;
        if (i < text.size() && text[i] == '\'')
            ++i;
        return std::min(i, text.size());
    }
    const std::size_t close = text.find('"', i + 1);
    return close == std::string_view::npos ? text.size() : close + 1;
}

std::string_view extractOperand(std::string_view rest) {
    rest = trim(rest);
    std::size_t i = 0;
    while (i < rest.size()) {
        const char c = rest[i];
        if (c == '\'' || c == '"') {
            i = skipQuoted(rest, i);
            continue;
        }
        if (c == ';')
            break;
        if (isBlank(c)) {
            std::size_t j = i;
            while (j < rest.size() && isBlank(rest[j]))
                ++j;
            const bool afterComma = i > 0 && rest[i - 1] == ',';
            if (j < rest.size() && rest[j] != ';' && (afterComma || rest[j] == ',')) {
                i = j;
                continue;
            }
            break;
        }
        ++i;
    }
    return trim(rest.substr(0, i));
}

std::vector<std::string_view> splitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    int depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\'' || c == '"') {
            i = skipQuoted(text, i);
            continue;
        }
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        else if (c == ',' && depth <= 0) {
            parts.push_back(trim(text.substr(start, i - start)));
            start = i + 1;
        }
        ++i;
    }
    parts.push_back(trim(text.substr(start)));
    return parts;
}

std::optional<std::string_view> FieldReader::next() {
    while (pos_ < text_.size() && isBlank(text_[pos_]))
        ++pos_;
    if (pos_ >= text_.size() || (text_[pos_] == ';' && !afterComma_))
        return std::nullopt;
    const std::size_t start = pos_;
    int depth = 0;
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == '\'' || c == '"') {
            pos_ = skipQuoted(text_, pos_);
            continue;
        }
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        else if ((c == ',' && depth <= 0) || isBlank(c) || c == ';')
            break;
        ++pos_;
    }
    const std::string_view field = text_.substr(start, pos_ - start);
    while (pos_ < text_.size() && isBlank(text_[pos_]))
        ++pos_;
    afterComma_ = pos_ < text_.size() && text_[pos_] == ',';
    if (afterComma_)
        ++pos_;
    return field;
}

} // namespace asmhc11
