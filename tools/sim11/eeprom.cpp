// EEPROM and CONFIG: programming and erasing through PPROG with the latch,
// the 10 ms the cells take, block protection (BPROT), and CONFIG, an EEPROM
// cell that takes effect at the next reset.
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

using namespace bits;

namespace {

// An EEPROM byte or erase takes 10 ms, whatever the crystal.
constexpr double eepromProgramSeconds = 0.010;

} // namespace

bool Machine::eepromAddress(std::uint16_t address) const {
    return (config_ & EEON) && address >= 0xB600 && address < 0xB800;
}

void Machine::eepromWrite(std::uint16_t address, std::uint8_t value) {
    // Only a latched write reaches the array; the address and data wait for EEPGM.
    if (!(reg_[reg::PPROG] & EELAT) || (reg_[reg::PPROG] & EEPGM))
        return;
    eeAddress_ = address;
    eeData_ = value;
}

void Machine::eepromRegisterWrite(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::PPROG:
        writePprog(value);
        return;
    case reg::BPROT:
        if (chip_ == Chip::A1)
            return;
        // Protection can always be set; cleared only just after reset.
        reg_[reg::BPROT] = protectedWritable()
                               ? static_cast<std::uint8_t>(value & 0x1F)
                               : static_cast<std::uint8_t>(reg_[reg::BPROT] | (value & 0x1F));
        return;
    case reg::CONFIG:
        // An EEPROM cell: programmed through PPROG, in force from the next reset.
        if ((reg_[reg::PPROG] & EELAT) && !(reg_[reg::PPROG] & EEPGM)) {
            eeAddress_ = static_cast<std::uint16_t>(regBase_ + reg::CONFIG);
            eeData_ = value;
        }
        return;
    default:
        return;
    }
}

void Machine::writePprog(std::uint8_t value) {
    const std::uint8_t old = reg_[reg::PPROG];
    // EELAT and EEPGM cannot rise together: the latch must be set first.
    if (!(old & EELAT) && (value & EEPGM))
        value &= static_cast<std::uint8_t>(~EEPGM);
    if ((old & EEPGM) && !(value & EEPGM) && static_cast<double>(cycles_ - eeProgramStart_) >=
                                                   eepromProgramSeconds * eClockHz_) {
        const std::uint8_t bprot = chip_ == Chip::A1 ? 0 : reg_[reg::BPROT];
        auto isProtected = [&](std::uint16_t a) {
            const unsigned off = a - 0xB600;
            if (off < 0x20)
                return (bprot & 0x01) != 0;
            if (off < 0x60)
                return (bprot & 0x02) != 0;
            if (off < 0xE0)
                return (bprot & 0x04) != 0;
            return (bprot & 0x08) != 0;
        };
        if (eeAddress_ == regBase_ + reg::CONFIG) {
            if (!(bprot & 0x10))
                configNext_ =
                    (old & ERASE) ? 0xFF : static_cast<std::uint8_t>(configNext_ & eeData_);
        } else if (eeAddress_ >= 0xB600 && eeAddress_ < 0xB800) {
            if (old & ERASE) {
                unsigned from = 0, to = 512;
                if (old & BYTE) {
                    from = eeAddress_ - 0xB600u;
                    to = from + 1;
                } else if (old & ROW) {
                    from = (eeAddress_ - 0xB600u) & ~15u;
                    to = from + 16;
                }
                for (unsigned k = from; k < to; ++k)
                    if (!isProtected(static_cast<std::uint16_t>(0xB600 + k)))
                        eeprom_[k] = 0xFF;
            } else if (!isProtected(eeAddress_)) {
                eeprom_[eeAddress_ - 0xB600] &= eeData_;
            }
        }
    }
    if (!(old & EEPGM) && (value & EEPGM))
        eeProgramStart_ = cycles_;
    reg_[reg::PPROG] = value;
    const bool latched = (value & EELAT) != 0;
    if (latched != eeLatched_) {
        eeLatched_ = latched;
        rebuildMap();
    }
    if (latched && !(old & EELAT))
        eeAddress_ = 0; // no address latched yet
}

} // namespace sim11
