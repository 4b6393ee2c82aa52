#include "board/boot_image.h"

#include "board/board_texts.h"
#include "board/fill_text.h"
#include "platform/failure.h"
#include "platform/files.h"

namespace kavrel::board {

namespace {
constexpr std::uint8_t kLeadByte = 0xFF;
}

std::size_t ramBytes(Family family) {
    return family == Family::A ? 256 : 512;
}

const char* familyName(Family family) {
    return family == Family::A ? "A" : "E";
}

std::vector<std::uint8_t> parseBootImage(std::string_view contents, const std::string& path) {
    if (contents.empty() || static_cast<std::uint8_t>(contents.front()) != kLeadByte)
        throw Failure(kOpReadBoo, path, kReasonNotBoo);
    if (contents.size() == 1)
        throw Failure(kOpReadBoo, path, kReasonEmptyBoo);
    return {contents.begin() + 1, contents.end()};
}

std::vector<std::uint8_t> readBootImage(const std::string& path) {
    return parseBootImage(platform::readFile(path), path);
}

std::optional<std::vector<std::uint8_t>> loadBytes(const std::vector<std::uint8_t>& program,
                                                   Family family) {
    const std::size_t ram = ramBytes(family);
    if (program.empty() || program.size() > ram)
        return std::nullopt;
    std::vector<std::uint8_t> bytes = program;
    // The A loader only starts the program after its 256th byte.
    if (family == Family::A)
        bytes.resize(ram, 0x00);
    return bytes;
}

std::string tooBigMessage(std::size_t programBytes, Family family) {
    const std::size_t ram = ramBytes(family);
    return fillText(kTooBig, {byteCount(programBytes), familyName(family), byteCount(ram),
                              byteCount(programBytes > ram ? programBytes - ram : 0)});
}

} // namespace kavrel::board
