// The memory map: which of the chip's memories answers at each address, in
// blocks of 64 bytes, for the mode, CONFIG, INIT and the EEPROM latch; the
// slow path for registers, EEPROM and trapped addresses; program loading.
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

using namespace bits;

namespace {

bool anyIn(const Machine::AddressSet& set, unsigned block) {
    return set[block] != 0;
}

} // namespace

void Machine::rebuildMap() {
    for (unsigned block = 0; block < 1024; ++block) {
        if (mode_ == Mode::Expanded) {
            fetchMap_[block] = plainWriteMap_[block] = &external_[block * 64];
        } else {
            fetchMap_[block] = ffBlock_.data();
            plainWriteMap_[block] = sinkBlock_.data();
        }
    }
    if (!rom_.empty() && (config_ & ROMON)) {
        for (unsigned block = 0xD000 / 64; block < 1024; ++block) {
            fetchMap_[block] = &rom_[block * 64 - 0xD000];
            plainWriteMap_[block] = sinkBlock_.data();
        }
    }
    if (mode_ == Mode::Bootstrap) {
        for (unsigned k = 0; k < 3; ++k) {
            fetchMap_[0xBF40 / 64 + k] = &bootRom_[k * 64];
            plainWriteMap_[0xBF40 / 64 + k] = sinkBlock_.data();
        }
    }
    if (config_ & EEON) {
        for (unsigned k = 0; k < 8; ++k) {
            fetchMap_[0xB600 / 64 + k] = eeLatched_ ? nullptr : &eeprom_[k * 64];
            plainWriteMap_[0xB600 / 64 + k] = nullptr;
        }
    }
    for (unsigned k = 0; k < ram_.size() / 64; ++k) {
        fetchMap_[(ramBase_ >> 6) + k] = &ram_[k * 64];
        plainWriteMap_[(ramBase_ >> 6) + k] = &ram_[k * 64];
    }
    // The register block wins where it overlaps RAM.
    fetchMap_[regBase_ >> 6] = nullptr;
    plainWriteMap_[regBase_ >> 6] = nullptr;
    readMap_ = fetchMap_;
    writeMap_ = plainWriteMap_;
    if (anyTraps_) {
        for (unsigned block = 0; block < 1024; ++block) {
            if (anyIn(readTraps_, block))
                readMap_[block] = nullptr;
            if (anyIn(writeTraps_, block))
                writeMap_[block] = nullptr;
        }
    }
}

void Machine::setAccessTraps(const AddressSet& reads, const AddressSet& writes) {
    readTraps_ = reads;
    writeTraps_ = writes;
    anyTraps_ = false;
    for (unsigned block = 0; block < 1024; ++block)
        anyTraps_ = anyTraps_ || reads[block] || writes[block];
    rebuildMap();
}

void Machine::trapped(std::uint16_t address, std::uint8_t value, bool write) {
    const AddressSet& set = write ? writeTraps_ : readTraps_;
    if (((set[address >> 6] >> (address & 63)) & 1) && onAccess && onAccess(address, value, write))
        end(Halt::Access);
}

std::uint8_t Machine::slowRead(std::uint16_t address) {
    std::uint8_t value;
    if ((address & 0xFFC0) == regBase_)
        value = readRegister(address & 63);
    else
        value = peek(address);
    if (anyTraps_)
        trapped(address, value, false);
    return value;
}

std::uint8_t Machine::slowFetch(std::uint16_t address) {
    if ((address & 0xFFC0) == regBase_)
        return readRegister(address & 63);
    return peek(address);
}

void Machine::slowWrite(std::uint16_t address, std::uint8_t value) {
    if ((address & 0xFFC0) == regBase_) {
        writeRegister(address & 63, value);
    } else if (eepromAddress(address)) {
        eepromWrite(address, value);
    } else if (std::uint8_t* p = plainWriteMap_[address >> 6]) {
        p[address & 63] = value;
    }
    if (anyTraps_)
        trapped(address, value, true);
}

std::uint8_t Machine::peek(std::uint16_t address) const {
    if ((address & 0xFFC0) == regBase_)
        return peekRegister(address & 63);
    if (eepromAddress(address))
        return eeprom_[address - 0xB600];
    const std::uint8_t* p = fetchMap_[address >> 6];
    return p ? p[address & 63] : 0xFF;
}

std::uint8_t Machine::read(std::uint16_t address) {
    return rd(address);
}

void Machine::write(std::uint16_t address, std::uint8_t value) {
    wr(address, value);
}

bool Machine::load(std::uint16_t address, std::uint8_t value) {
    if ((address & 0xFFC0) == regBase_) {
        // A programmed part's CONFIG: the cell read at every reset.
        if ((address & 63) != reg::CONFIG)
            return false;
        configNext_ = value;
        return true;
    }
    if (address >= ramBase_ && address < ramBase_ + ram_.size()) {
        ram_[address - ramBase_] = value;
        return true;
    }
    if (eepromAddress(address)) {
        eeprom_[address - 0xB600] = value;
        return true;
    }
    if (!rom_.empty() && (config_ & ROMON) && address >= 0xD000) {
        rom_[address - 0xD000] = value;
        return true;
    }
    if (mode_ == Mode::Expanded) {
        external_[address] = value;
        return true;
    }
    return false;
}

std::uint16_t Machine::vectorAddress(std::uint16_t normal) const {
    // Special modes fetch their vectors from the boot ROM's page.
    return mode_ == Mode::Bootstrap ? static_cast<std::uint16_t>(normal - 0x4000) : normal;
}

bool Machine::protectedWritable() const {
    return mode_ == Mode::Bootstrap || cycles_ - resetAt_ < 64;
}

void Machine::writeInit(std::uint8_t value) {
    if (!protectedWritable())
        return;
    reg_[reg::INIT] = value;
    ramBase_ = static_cast<std::uint16_t>((value & 0xF0) << 8);
    regBase_ = static_cast<std::uint16_t>((value & 0x0F) << 12);
    rebuildMap();
}

} // namespace sim11
