// Board files: any bytes give a board or a French message naming a line,
// never a crash or a hang. A board read is read the same a second time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "lab/board_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<lab::BoardDescription> board = lab::readBoardText(text, "/cartes", error);
    if (!board) {
        FUZZ_CHECK(error.rfind("ligne ", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(board->recorded.size() <= 8);
    for (const lab::MemoryRange& m : board->memory)
        FUZZ_CHECK(m.from <= m.to);
    for (const lab::LcdWiring& l : board->lcds)
        FUZZ_CHECK(l.columns * l.rows <= 80);
    for (const lab::DisplayWiring& d : board->displays)
        FUZZ_CHECK(d.digits >= 1 && d.digits <= 8);
    std::string again;
    const std::optional<lab::BoardDescription> second = lab::readBoardText(text, "/cartes", again);
    FUZZ_CHECK(second && second->name == board->name && second->lcds.size() == board->lcds.size());
    return 0;
}
