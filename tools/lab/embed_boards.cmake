# Writes OUTPUT: each board file of BOARDS as a raw string, keyed by its name
# without the extension (in the order of the list, sorted).
set(boards ${BOARDS})
list(SORT boards)
set(text "// Generated from data/boards at build time.\n#include \"lab/shipped_boards.h\"\n\nnamespace lab {\n\nconst std::vector<ShippedBoardText>& shippedBoardTexts() {\n    static const std::vector<ShippedBoardText> texts = {\n")
foreach(board ${boards})
  get_filename_component(key ${board} NAME_WE)
  file(READ ${board} content)
  string(APPEND text "        {\"${key}\", R\"kavrel_board(${content})kavrel_board\"},\n")
endforeach()
string(APPEND text "    };\n    return texts;\n}\n\n} // namespace lab\n")
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
