#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Line and column of a caret in a UTF-8 text. Lines are counted from 1 and end
// at LF only (a CR is an ordinary character); the column is the number of
// characters, not bytes, between the last LF before the caret and the caret,
// counted from 0.
namespace kavrel::editor {

struct CaretPosition {
    std::size_t line = 1;
    std::size_t column = 0;
    bool operator==(const CaretPosition&) const = default;
};

// `offset` is a byte offset into `text` (clamped to its size); an offset inside
// a multi-byte character counts as that character's start. Reads the text in
// place; fast enough to run on every key release of a 10 MB document.
CaretPosition caretPosition(std::string_view text, std::size_t offset);

// The labels of the Pos_XY panel, each number written after its label.
inline constexpr const char* kLineLabel = "Ligne : ";
inline constexpr const char* kColumnLabel = " Colonne : ";

// "Ligne : <L> Colonne : <C>"
std::string caretPanelText(CaretPosition position);

} // namespace kavrel::editor
