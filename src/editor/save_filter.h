#pragma once

#include <string>
#include <string_view>

namespace kavrel::editor {

inline constexpr const char* kFilterAsc = "Fichiers assembleur  (*.asc)|*.asc";
inline constexpr const char* kFilterLst = "Fichiers listing  (*.lst)|*.lst";
inline constexpr const char* kFilterTxt = "Fichiers texte  (*.txt)|*.txt";
inline constexpr const char* kFilterAll =
    "Fichiers texte  (*.txt)|*.txt|Fichiers listing  (*.lst)|*.lst|Fichiers assembleur  (*.asc)|*.asc";

// The Save As filter for a caption: searched in the upper-cased caption, TXT
// wins over LST, LST over ASC, anywhere in the caption; empty when none occurs.
std::string saveFilterFor(std::string_view caption);

// "desc|pattern|desc|pattern..." to a Qt name filter list "desc;;desc" where
// each entry names its pattern in parentheses (a description that already ends
// with "(pattern)" is kept as it is). Empty in, empty out.
std::string toQtFilter(std::string_view filterList);

} // namespace kavrel::editor
