// 68HC11 sources in colour. Only the colour of each token changes: the font,
// its size, the keys and every character of the text stay as they are.
#pragma once

#include <QString>

namespace kavrel {

class Texte;

namespace editor {

// The style of each kind of token of a source line in the text box.
enum class SourceStyle : unsigned char {
    Plain = 0, // names, operators, blanks, line ends
    Comment,
    Label,
    Mnemonic,
    Directive,
    Number,
    String, // strings and characters
    Hash,   // the '#' of an immediate value
};
inline constexpr int kSourceStyleCount = static_cast<int>(SourceStyle::Hash) + 1;

// True when the caption names an assembler source: it ends in .asc, .asm or
// .s, in any case.
bool isAssemblerSource(const QString& caption);

// Colours the text box as a source when the caption names one, and makes it
// plain otherwise. Nothing happens when the text box already is what the
// caption asks for.
void showSourceColours(Texte& texte, const QString& caption);

// True when the text box is coloured as a source.
bool showsSourceColours(const Texte& texte);

} // namespace editor
} // namespace kavrel
