// EEPROM and CONFIG: programming and erasing through PPROG with the latch,
// the time the cells take (10 ms with E at 2 MHz and above, 20 ms below, as
// the charge pump is slower: counted at the crystal's rate), block protection
// (BPROT), and CONFIG, an EEPROM cell that takes effect at the next reset.
// Programming only clears bits; an erase sets them all; while the latch is on,
// the array is not read (its bits come back inverted: never the data).
#include "blocks.h"

namespace sim11 {

using namespace bits;

namespace {

// An EEPROM byte or erase takes 10 ms with E at 2 MHz, up to 20 ms below.
double programSeconds(double eClockHz) {
    return eClockHz >= 2'000'000.0 ? 0.010 : 0.020;
}

} // namespace

Eeprom::Eeprom(Machine& machine, const Variant& variant) : Block(machine) {
    claim(reg::BPROT);
    claim(reg::PPROG);
    claim(reg::CONFIG);
    array_.fill(0xFF);
    // Erased CONFIG: ROM on where there is one, EEPROM on, COP off.
    configNext_ = variant.configErased;
}

void Eeprom::reset() {
    config_ = configNext_;
    bprot_ = variant().blockProtect ? 0x1F : 0;
    pprog_ = 0;
    latched_ = false;
}

std::uint8_t Eeprom::peek(unsigned offset) const {
    switch (offset) {
    case reg::BPROT:
        return bprot_;
    case reg::PPROG:
        return pprog_;
    default:
        return config_;
    }
}

void Eeprom::write(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::PPROG:
        writePprog(value);
        return;
    case reg::BPROT:
        if (!variant().blockProtect)
            return;
        // Protection can always be set; cleared only just after reset.
        bprot_ = protectedWritable() ? static_cast<std::uint8_t>(value & 0x1F)
                                     : static_cast<std::uint8_t>(bprot_ | (value & 0x1F));
        return;
    default:
        // CONFIG, an EEPROM cell: programmed through PPROG, in force from
        // the next reset.
        if ((pprog_ & EELAT) && !(pprog_ & EEPGM)) {
            address_ = static_cast<std::uint16_t>(registerBase() + reg::CONFIG);
            data_ = value;
        }
        return;
    }
}

std::uint8_t Eeprom::read(std::uint16_t address) const {
    const std::uint8_t value = array_[address - 0xB600u];
    return latched_ ? static_cast<std::uint8_t>(~value) : value;
}

void Eeprom::arrayWrite(std::uint16_t address, std::uint8_t value) {
    // Only a latched write reaches the array; the address and data wait for EEPGM.
    if (!(pprog_ & EELAT) || (pprog_ & EEPGM))
        return;
    address_ = address;
    data_ = value;
}

bool Eeprom::isProtected(std::uint16_t address) const {
    const unsigned off = address - 0xB600u;
    if (off < 0x20)
        return (bprot_ & 0x01) != 0;
    if (off < 0x60)
        return (bprot_ & 0x02) != 0;
    if (off < 0xE0)
        return (bprot_ & 0x04) != 0;
    return (bprot_ & 0x08) != 0;
}

void Eeprom::writePprog(std::uint8_t value) {
    const std::uint8_t old = pprog_;
    // EELAT and EEPGM cannot rise together: the latch must be set first.
    if (!(old & EELAT) && (value & EEPGM))
        value &= static_cast<std::uint8_t>(~EEPGM);
    if ((old & EEPGM) && !(value & EEPGM) &&
        static_cast<double>(now() - programStart_) >= programSeconds(eClockHz_) * eClockHz_) {
        if (address_ == registerBase() + reg::CONFIG) {
            if (!(old & ERASE)) {
                if (!(bprot_ & 0x10))
                    configNext_ = static_cast<std::uint8_t>(configNext_ & data_);
            } else if (variant().blockProtect) {
                // E parts: CONFIG erased alone, unless PTCON protects it.
                if (!(bprot_ & 0x10))
                    configNext_ = 0xFF;
            } else if (!(old & (BYTE | ROW))) {
                // A parts: only a bulk erase reaches CONFIG, and it takes the
                // whole array with it.
                configNext_ = 0xFF;
                array_.fill(0xFF);
            }
        } else if (address_ >= 0xB600 && address_ < 0xB800) {
            if (old & ERASE) {
                unsigned from = 0, to = 512;
                if (old & BYTE) {
                    from = address_ - 0xB600u;
                    to = from + 1;
                } else if (old & ROW) {
                    from = (address_ - 0xB600u) & ~15u;
                    to = from + 16;
                }
                for (unsigned k = from; k < to; ++k)
                    if (!isProtected(static_cast<std::uint16_t>(0xB600 + k)))
                        array_[k] = 0xFF;
            } else if (!isProtected(address_)) {
                array_[address_ - 0xB600u] &= data_;
            }
        }
    }
    if (!(old & EEPGM) && (value & EEPGM))
        programStart_ = now();
    pprog_ = value;
    const bool latched = (value & EELAT) != 0;
    if (latched != latched_) {
        latched_ = latched;
        rebuildMap();
    }
    if (latched && !(old & EELAT))
        address_ = 0; // no address latched yet
}

} // namespace sim11
