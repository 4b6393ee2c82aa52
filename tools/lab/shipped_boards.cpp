#include "lab/shipped_boards.h"

#include "lab/board_file.h"

#include <algorithm>

namespace lab {

std::vector<std::string> shippedBoardKeys() {
    // The two that stand for no lab board first, the others as they sort.
    std::vector<std::string> keys;
    for (const char* first : {"chip", "evb"})
        for (const ShippedBoardText& board : shippedBoardTexts())
            if (std::string_view(board.key) == first)
                keys.emplace_back(board.key);
    for (const ShippedBoardText& board : shippedBoardTexts())
        if (std::find(keys.begin(), keys.end(), board.key) == keys.end())
            keys.emplace_back(board.key);
    return keys;
}

std::optional<BoardDescription> shippedBoard(std::string_view key, std::string& error) {
    for (const ShippedBoardText& board : shippedBoardTexts())
        if (key == board.key) {
            std::string why;
            std::optional<BoardDescription> description = readBoardText(board.text, {}, why);
            if (!description)
                error = "carte livrée « " + std::string(key) + " » : " + why;
            return description;
        }
    std::string known;
    for (const std::string& k : shippedBoardKeys())
        known += (known.empty() ? "" : ", ") + k;
    error = "carte inconnue « " + std::string(key) + " » (" + known + ")";
    return std::nullopt;
}

} // namespace lab
