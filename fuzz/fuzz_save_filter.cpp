// The Save As filter chosen from a caption, against a search of every position
// of the caption; and the Qt form of any filter list, which must not fail.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "editor/save_filter.h"
#include "fuzz_check.h"

namespace {

bool occurs(std::string_view caption, const char* name) {
    for (std::size_t at = 0; at + 3 <= caption.size(); ++at) {
        bool same = true;
        for (std::size_t k = 0; k < 3 && same; ++k) {
            char c = caption[at + k];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
            same = c == name[k];
        }
        if (same)
            return true;
    }
    return false;
}

std::string reference(std::string_view caption) {
    if (occurs(caption, "TXT"))
        return kavrel::editor::kFilterTxt;
    if (occurs(caption, "LST"))
        return kavrel::editor::kFilterLst;
    if (occurs(caption, "ASC"))
        return kavrel::editor::kFilterAsc;
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(kavrel::editor::saveFilterFor(input) == reference(input));

    const std::string qt = kavrel::editor::toQtFilter(input);
    FUZZ_CHECK(qt.empty() == input.empty());
    // Each description and its pattern give one Qt entry.
    std::size_t bars = 0;
    for (char c : input)
        bars += c == '|';
    std::size_t entries = qt.empty() ? 0 : 1;
    for (std::size_t at = qt.find(";;"); at != std::string::npos; at = qt.find(";;", at + 2))
        ++entries;
    if (input.find(";;") == std::string::npos && input.find(';') == std::string::npos &&
        !input.empty())
        FUZZ_CHECK(entries == bars / 2 + 1);
    return 0;
}
