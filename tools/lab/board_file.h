// Board files: a board described in TOML, with French keys in lower case
// (sim11.hlp lists them all), read by toml++. Every fault is told in French
// with the line it is on: a syntax error, an unknown key (a typo), a value
// of the wrong type or out of range, two parts fighting over a pin, memory
// where the chip already answers. Any text gives a board or a message,
// never a crash.
#pragma once

#include "lab/board_description.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

// `text` in UTF-8 (a text that is not UTF-8 is read as Windows-1252, as
// Kavrel's editor saves it); `folder` is where a ROM's file is looked for.
// Null with `error` = "ligne N : …".
std::optional<BoardDescription> readBoardText(std::string_view text, std::string folder,
                                              std::string& error);
// The same from a file (path in UTF-8); a board without `nom` is named
// after its file. `error` holds the reason alone, without the path.
std::optional<BoardDescription> readBoardFile(const std::string& path, std::string& error);

// A board file of a user's folder, for the window's list.
struct BoardFileEntry {
    std::string path;  // UTF-8
    std::string name;  // the board's `nom` (its file name when it has none or cannot be read)
    std::string error; // empty when the file reads
};
// The *.toml files of `folder`, sorted by file name; none when the folder
// cannot be read.
std::vector<BoardFileEntry> listBoardFiles(const std::string& folder);

} // namespace lab
