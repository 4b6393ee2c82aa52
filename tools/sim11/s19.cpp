#include "sim11/s19.h"

namespace sim11 {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool parseS19(std::string_view text, S19Image& image, std::string& error) {
    // A DOS end-of-file mark ends the text, as old editors and loaders left it.
    if (const std::size_t eof = text.find('\x1A'); eof != std::string_view::npos)
        text = text.substr(0, eof);
    std::size_t lineNumber = 0, records = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty())
            continue;
        auto fail = [&](const char* why) {
            error = "ligne " + std::to_string(lineNumber) + " : " + why;
            return false;
        };
        if (line.size() < 4 || (line[0] != 'S' && line[0] != 's'))
            return fail("ce n'est pas un enregistrement S");
        const char type = line[1];
        ++records;
        std::vector<std::uint8_t> bytes;
        for (std::size_t k = 2; k + 1 < line.size(); k += 2) {
            const int hi = hexDigit(line[k]), lo = hexDigit(line[k + 1]);
            if (hi < 0 || lo < 0)
                return fail("chiffre hexadécimal attendu");
            bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        }
        if (line.size() % 2 != 0)
            return fail("nombre de chiffres impair");
        if (bytes.empty() || bytes[0] + 1u != bytes.size())
            return fail("longueur fausse");
        unsigned sum = 0;
        for (const std::uint8_t b : bytes)
            sum += b;
        if ((sum & 0xFF) != 0xFF)
            return fail("somme de contrôle fausse");
        if (type == '1' || type == '9') {
            if (bytes.size() < 4)
                return fail("longueur fausse");
            const auto address = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
            if (type == '9') {
                image.entry = address;
            } else {
                if (address + (bytes.size() - 4) > 0x10000)
                    return fail("les données dépassent $FFFF");
                image.blocks.push_back({address, {bytes.begin() + 3, bytes.end() - 1}});
            }
        } else if (type != '0' && type != '5') {
            return fail("type d'enregistrement non pris en charge (S1, S9 attendus)");
        }
    }
    if (records == 0) {
        error = "le fichier ne contient aucun enregistrement S";
        return false;
    }
    return true;
}

} // namespace sim11
