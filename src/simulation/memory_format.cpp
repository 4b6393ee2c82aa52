#include "simulation/memory_format.h"

#include <array>
#include <cctype>

#include "common/hex_text.h"
#include "terminal/serial_text.h"

namespace kavrel::simulation {

namespace {

// The register block of the A and E parts; the E parts differ only where
// noted. Empty: reserved. "+" marks the low byte of a 16-bit register.
struct Entry {
    const char* a;
    const char* e;
    bool low;
};
constexpr std::array<Entry, kRegisterBlockSize> kBlock = {{
    {"PORTA", "PORTA", false},
    {nullptr, nullptr, false},
    {"PIOC", "PIOC", false},
    {"PORTC", "PORTC", false},
    {"PORTB", "PORTB", false},
    {"PORTCL", "PORTCL", false},
    {nullptr, nullptr, false},
    {"DDRC", "DDRC", false},
    {"PORTD", "PORTD", false},
    {"DDRD", "DDRD", false},
    {"PORTE", "PORTE", false},
    {"CFORC", "CFORC", false},
    {"OC1M", "OC1M", false},
    {"OC1D", "OC1D", false},
    {"TCNT", "TCNT", false},
    {"TCNT", "TCNT", true},
    {"TIC1", "TIC1", false},
    {"TIC1", "TIC1", true},
    {"TIC2", "TIC2", false},
    {"TIC2", "TIC2", true},
    {"TIC3", "TIC3", false},
    {"TIC3", "TIC3", true},
    {"TOC1", "TOC1", false},
    {"TOC1", "TOC1", true},
    {"TOC2", "TOC2", false},
    {"TOC2", "TOC2", true},
    {"TOC3", "TOC3", false},
    {"TOC3", "TOC3", true},
    {"TOC4", "TOC4", false},
    {"TOC4", "TOC4", true},
    // The E parts can make the fifth compare a fourth capture.
    {"TOC5", "TI4O5", false},
    {"TOC5", "TI4O5", true},
    {"TCTL1", "TCTL1", false},
    {"TCTL2", "TCTL2", false},
    {"TMSK1", "TMSK1", false},
    {"TFLG1", "TFLG1", false},
    {"TMSK2", "TMSK2", false},
    {"TFLG2", "TFLG2", false},
    {"PACTL", "PACTL", false},
    {"PACNT", "PACNT", false},
    {"SPCR", "SPCR", false},
    {"SPSR", "SPSR", false},
    {"SPDR", "SPDR", false},
    {"BAUD", "BAUD", false},
    {"SCCR1", "SCCR1", false},
    {"SCCR2", "SCCR2", false},
    {"SCSR", "SCSR", false},
    {"SCDR", "SCDR", false},
    {"ADCTL", "ADCTL", false},
    {"ADR1", "ADR1", false},
    {"ADR2", "ADR2", false},
    {"ADR3", "ADR3", false},
    {"ADR4", "ADR4", false},
    // The A parts have no EEPROM block protection nor second option register.
    {nullptr, "BPROT", false},
    {nullptr, nullptr, false},
    {nullptr, nullptr, false},
    {nullptr, "OPT2", false},
    {"OPTION", "OPTION", false},
    {"COPRST", "COPRST", false},
    {"PPROG", "PPROG", false},
    {"HPRIO", "HPRIO", false},
    {"INIT", "INIT", false},
    {"TEST1", "TEST1", false},
    {"CONFIG", "CONFIG", false},
}};

bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Digits in a base, nothing else, at most `limit`.
std::optional<unsigned> parseDigits(std::string_view digits, unsigned base, unsigned limit) {
    if (digits.empty())
        return std::nullopt;
    unsigned value = 0;
    for (const char c : digits) {
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        if (d >= base)
            return std::nullopt;
        value = value * base + d;
        if (value > limit)
            return std::nullopt;
    }
    return value;
}

// A number with its prefix: $ or 0x hexadecimal, % binary, # decimal, or
// bare hexadecimal when `bareHex`, bare decimal otherwise.
std::optional<unsigned> parseNumber(std::string_view text, unsigned limit, bool bareHex) {
    if (text.starts_with('$'))
        return parseDigits(text.substr(1), 16, limit);
    if (text.starts_with("0x") || text.starts_with("0X"))
        return parseDigits(text.substr(2), 16, limit);
    if (text.starts_with('%'))
        return parseDigits(text.substr(1), 2, limit);
    if (text.starts_with('#'))
        return parseDigits(text.substr(1), 10, limit);
    return parseDigits(text, bareHex ? 16 : 10, limit);
}

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

} // namespace

std::string byteChar(std::uint8_t value) {
    return terminal::isPrintable(value) ? terminal::visibleByte(value) : std::string(".");
}

std::string hexRow(const std::uint8_t* memory, std::uint16_t address, int count) {
    std::string row = hex::word(address) + " ";
    std::string chars;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t value = memory[static_cast<std::uint16_t>(address + i)];
        row += ' ';
        hex::append(row, value, 2);
        chars += byteChar(value);
    }
    return row + "  " + chars;
}

RegisterName registerName(sim11::Chip chip, int offset) {
    if (offset < 0 || offset >= kRegisterBlockSize)
        return {};
    const Entry& entry = kBlock[static_cast<std::size_t>(offset)];
    return {chip == sim11::Chip::A1 ? entry.a : entry.e, entry.low};
}

std::optional<int> registerOffset(sim11::Chip chip, std::string_view name) {
    for (int offset = 0; offset < kRegisterBlockSize; ++offset) {
        const RegisterName reg = registerName(chip, offset);
        if (reg.name && !reg.lowByte && sameNoCase(reg.name, name))
            return offset;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> parseByte(std::string_view text) {
    text = trim(text);
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        const std::string byte =
            terminal::typedBytes(text.substr(1, text.size() - 2), terminal::LineEnd::Cr);
        if (byte.size() != 1)
            return std::nullopt;
        return static_cast<std::uint8_t>(byte[0]);
    }
    if (const auto value = parseNumber(text, 0xFF, true))
        return static_cast<std::uint8_t>(*value);
    return std::nullopt;
}

std::optional<std::uint16_t> parseAddress(std::string_view text, const SymbolLookup& symbols,
                                          sim11::Chip chip, std::uint16_t registerBase) {
    text = trim(text);
    if (text.empty())
        return std::nullopt;
    if (!isNameStart(text.front()))
        if (const auto value = parseNumber(text, 0xFFFF, true))
            return static_cast<std::uint16_t>(*value);

    // A name, then perhaps an offset. A bare hexadecimal number such as
    // "BEEF" reads as a name first when the program has one of that name.
    std::size_t end = text.find_first_of("+-");
    std::string_view name = trim(text.substr(0, end));
    long offset = 0;
    if (end != std::string_view::npos) {
        const auto amount = parseNumber(trim(text.substr(end + 1)), 0xFFFF, false);
        if (!amount)
            return std::nullopt;
        offset = text[end] == '-' ? -static_cast<long>(*amount) : static_cast<long>(*amount);
    }
    std::optional<long> base;
    // The chip's names come first: a program that names PORTB itself means
    // the same register, or its offset for indexed access, which is no
    // place to go to.
    if (const auto reg = registerOffset(chip, name))
        base = registerBase + *reg;
    else if (const auto symbol = symbols ? symbols(name) : std::nullopt)
        base = *symbol;
    else if (end == std::string_view::npos)
        if (const auto value = parseDigits(name, 16, 0xFFFF))
            base = *value;
    if (!base)
        return std::nullopt;
    return static_cast<std::uint16_t>(*base + offset);
}

} // namespace kavrel::simulation
