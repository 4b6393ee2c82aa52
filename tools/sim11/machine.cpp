#include "sim11/machine.h"

#include <algorithm>

namespace sim11 {

namespace {

// Offsets in the register block.
enum Reg : unsigned {
    PORTA = 0x00,
    PIOC = 0x02,
    PORTC = 0x03,
    PORTB = 0x04,
    PORTCL = 0x05,
    DDRC = 0x07,
    PORTD = 0x08,
    DDRD = 0x09,
    PORTE = 0x0A,
    CFORC = 0x0B,
    OC1M = 0x0C,
    OC1D = 0x0D,
    TCNT = 0x0E,
    TIC1 = 0x10,
    TOC1 = 0x16,
    TI4O5 = 0x1E,
    TCTL1 = 0x20,
    TCTL2 = 0x21,
    TMSK1 = 0x22,
    TFLG1 = 0x23,
    TMSK2 = 0x24,
    TFLG2 = 0x25,
    PACTL = 0x26,
    PACNT = 0x27,
    SPCR = 0x28,
    SPSR = 0x29,
    SPDR = 0x2A,
    BAUD = 0x2B,
    SCCR1 = 0x2C,
    SCCR2 = 0x2D,
    SCSR = 0x2E,
    SCDR = 0x2F,
    ADCTL = 0x30,
    ADR1 = 0x31,
    BPROT = 0x35,
    OPTION = 0x39,
    COPRST = 0x3A,
    PPROG = 0x3B,
    HPRIO = 0x3C,
    INIT = 0x3D,
    TEST1 = 0x3E,
    CONFIG = 0x3F,
};

// SCSR and SCCR2 bits.
constexpr std::uint8_t TDRE = 0x80, TC = 0x40, RDRF = 0x20, IDLE = 0x10, OR = 0x08;
constexpr std::uint8_t TIE = 0x80, TCIE = 0x40, RIE = 0x20, ILIE = 0x10, TE = 0x08, RE = 0x04;
// PPROG bits.
constexpr std::uint8_t BYTE = 0x10, ROW = 0x08, ERASE = 0x04, EELAT = 0x02, EEPGM = 0x01;
// PACTL bits.
constexpr std::uint8_t DDRA7 = 0x80, PAEN = 0x40, PAMOD = 0x20, PEDGE = 0x10, DDRA3 = 0x08,
                       I4O5 = 0x04;

constexpr std::uint64_t never = ~0ull;
constexpr std::uint16_t loaderEntry = 0xBF40;
// The E clock's time for an EEPROM byte or erase to take (10 ms at 2 MHz).
constexpr std::uint64_t eepromProgramCycles = 20000;
// The paced sender: the pause in the program's output it waits for, and how
// long it waits at most, in character times.
constexpr std::uint64_t typistPause = 20, typistPatience = 2000;

} // namespace

const char* chipName(Chip chip) {
    switch (chip) {
    case Chip::A1:
        return "A1";
    case Chip::E1:
        return "E1";
    case Chip::E9:
        return "E9";
    }
    return "?";
}

Machine::Machine(Chip chip, Mode mode) : chip_(chip), mode_(mode) {
    ram_.assign(chip == Chip::A1 ? 256 : 512, 0);
    if (chip == Chip::E9)
        rom_.assign(0x3000, 0xFF);
    if (mode == Mode::Expanded)
        external_.assign(0x10000, 0);
    eeprom_.fill(0xFF);
    ffBlock_.fill(0xFF);
    // The loader's ROM: its entry, then the vectors of the boot map, each
    // pointing at a three-byte jump slot in RAM from $00C4 up.
    bootRom_.fill(0);
    bootRom_[0] = 0xCD; // prebyte with an opcode of no instruction: the loader hook
    bootRom_[1] = 0x00;
    for (unsigned v = 0xFFD6; v < 0xFFFE; v += 2) {
        const unsigned slot = 0x00C4 + (v - 0xFFD6) / 2 * 3;
        bootRom_[v - 0xFF40] = static_cast<std::uint8_t>(slot >> 8);
        bootRom_[v - 0xFF40 + 1] = static_cast<std::uint8_t>(slot);
    }
    bootRom_[0xBE] = static_cast<std::uint8_t>(loaderEntry >> 8);
    bootRom_[0xBF] = static_cast<std::uint8_t>(loaderEntry);
    // Erased CONFIG: ROM on where there is one, EEPROM on, COP off.
    configNext_ = chip == Chip::E9 ? 0x0F : 0x0D;
    reset();
}

void Machine::reset() {
    chipReset(vector::RESET);
}

void Machine::chipReset(std::uint16_t vec) {
    resetAt_ = cycles_;
    config_ = configNext_;
    reg_.fill(0);
    reg_[PIOC] = 0x03;
    reg_[SPCR] = 0x04;
    reg_[SCSR] = TDRE | TC;
    reg_[OPTION] = 0x10;
    reg_[INIT] = 0x01;
    reg_[BPROT] = chip_ == Chip::A1 ? 0 : 0x1F;
    reg_[TEST1] = mode_ == Mode::Bootstrap ? 0x08 : 0x00; // DISR: no COP in special modes
    reg_[HPRIO] = static_cast<std::uint8_t>(0x05 | (mode_ == Mode::Expanded ? 0x20 : 0) |
                                            (mode_ == Mode::Bootstrap ? 0xC0 : 0));
    for (unsigned oc = 0; oc < 5; ++oc) {
        reg_[TOC1 + 2 * oc] = 0xFF;
        reg_[TOC1 + 2 * oc + 1] = 0xFF;
    }
    regBase_ = 0x1000;
    ramBase_ = 0x0000;
    rebuildMap();

    prescale_ = 1;
    timerEpoch_ = cycles_;
    tcntAtEpoch_ = 0;
    for (int oc = 0; oc < 5; ++oc)
        ocAt_[oc] = whenTcntReaches(0xFFFF);
    tofAt_ = whenTcntReaches(0);
    rtiAt_ = resetAt_ + 8192;
    copArm_ = 0;
    copAt_ = never;
    portAOut_ = 0;
    paSyncAt_ = cycles_;
    paovAt_ = never;
    adDoneAt_ = never;
    spiDoneAt_ = never;
    eeLatched_ = false;
    irqEdge_ = false;

    rxDoneAt_ = rxIdleAt_ = txDoneAt_ = rxRetryAt_ = rxWaitSince_ = never;
    txIdleSince_ = rxTakenAt_ = cycles_;
    txShiftBusy_ = txShiftData_ = false;
    tdrFull_ = false;
    idleArmed_ = false;
    scsrSeen_ = 0;
    loader_ = mode_ == Mode::Bootstrap ? Loader::Start : Loader::Off;

    stopped_ = waiting_ = false;
    r_.ccr = ccr::S | ccr::X | ccr::I;
    const std::uint16_t at = vectorAddress(vec);
    r_.pc = static_cast<std::uint16_t>(rd(at) << 8 | rd(static_cast<std::uint16_t>(at + 1)));
    if (!(config_ & 0x04) && mode_ != Mode::Bootstrap)
        copAt_ = cycles_ + (32768u << (2 * (reg_[OPTION] & 3)));
    schedule();
    wakeAttention();
}

// --- memory map ------------------------------------------------------------

void Machine::rebuildMap() {
    for (unsigned block = 0; block < 1024; ++block) {
        if (mode_ == Mode::Expanded) {
            readMap_[block] = writeMap_[block] = &external_[block * 64];
        } else {
            readMap_[block] = ffBlock_.data();
            writeMap_[block] = sinkBlock_.data();
        }
    }
    if (!rom_.empty() && (config_ & 0x02)) {
        for (unsigned block = 0xD000 / 64; block < 1024; ++block) {
            readMap_[block] = &rom_[block * 64 - 0xD000];
            writeMap_[block] = sinkBlock_.data();
        }
    }
    if (mode_ == Mode::Bootstrap) {
        for (unsigned k = 0; k < 3; ++k) {
            readMap_[0xBF40 / 64 + k] = &bootRom_[k * 64];
            writeMap_[0xBF40 / 64 + k] = sinkBlock_.data();
        }
    }
    if (config_ & 0x01) {
        for (unsigned k = 0; k < 8; ++k) {
            readMap_[0xB600 / 64 + k] = eeLatched_ ? nullptr : &eeprom_[k * 64];
            writeMap_[0xB600 / 64 + k] = nullptr;
        }
    }
    for (unsigned k = 0; k < ram_.size() / 64; ++k) {
        readMap_[(ramBase_ >> 6) + k] = &ram_[k * 64];
        writeMap_[(ramBase_ >> 6) + k] = &ram_[k * 64];
    }
    // The register block wins where it overlaps RAM.
    readMap_[regBase_ >> 6] = nullptr;
    writeMap_[regBase_ >> 6] = nullptr;
}

bool Machine::eepromAddress(std::uint16_t address) const {
    return (config_ & 0x01) && address >= 0xB600 && address < 0xB800;
}

std::uint8_t Machine::slowRead(std::uint16_t address) {
    if ((address & 0xFFC0) == regBase_)
        return readRegister(address & 63);
    return peek(address);
}

void Machine::slowWrite(std::uint16_t address, std::uint8_t value) {
    if ((address & 0xFFC0) == regBase_)
        writeRegister(address & 63, value);
    else if (eepromAddress(address))
        eepromWrite(address, value);
}

std::uint8_t Machine::peek(std::uint16_t address) const {
    if ((address & 0xFFC0) == regBase_)
        return peekRegister(address & 63);
    if (eepromAddress(address))
        return eeprom_[address - 0xB600];
    const std::uint8_t* p = readMap_[address >> 6];
    return p ? p[address & 63] : 0xFF;
}

std::uint8_t Machine::read(std::uint16_t address) {
    return rd(address);
}
void Machine::write(std::uint16_t address, std::uint8_t value) {
    wr(address, value);
}

bool Machine::load(std::uint16_t address, std::uint8_t value) {
    if ((address & 0xFFC0) == regBase_)
        return false;
    if (address >= ramBase_ && address < ramBase_ + ram_.size()) {
        ram_[address - ramBase_] = value;
        return true;
    }
    if (eepromAddress(address)) {
        eeprom_[address - 0xB600] = value;
        return true;
    }
    if (!rom_.empty() && (config_ & 0x02) && address >= 0xD000) {
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

// --- EEPROM ----------------------------------------------------------------

void Machine::eepromWrite(std::uint16_t address, std::uint8_t value) {
    // Only a latched write reaches the array; the address and data wait for EEPGM.
    if (!(reg_[PPROG] & EELAT) || (reg_[PPROG] & EEPGM))
        return;
    eeAddress_ = address;
    eeData_ = value;
}

void Machine::writePprog(std::uint8_t value) {
    const std::uint8_t old = reg_[PPROG];
    // EELAT and EEPGM cannot rise together: the latch must be set first.
    if (!(old & EELAT) && (value & EEPGM))
        value &= static_cast<std::uint8_t>(~EEPGM);
    if ((old & EEPGM) && !(value & EEPGM) && cycles_ - eeProgramStart_ >= eepromProgramCycles) {
        const std::uint8_t bprot = chip_ == Chip::A1 ? 0 : reg_[BPROT];
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
        if (eeAddress_ == regBase_ + CONFIG) {
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
    reg_[PPROG] = value;
    const bool latched = (value & EELAT) != 0;
    if (latched != eeLatched_) {
        eeLatched_ = latched;
        rebuildMap();
    }
    if (latched && !(old & EELAT))
        eeAddress_ = 0; // no address latched yet
}

// --- registers -------------------------------------------------------------

std::uint8_t Machine::portAPins() const {
    const std::uint8_t pactl = reg_[PACTL];
    std::uint8_t outputs = 0x70; // PA4-PA6
    if (pactl & DDRA7)
        outputs |= 0x80;
    if (chip_ == Chip::A1 || (pactl & DDRA3))
        outputs |= 0x08;
    return static_cast<std::uint8_t>((portAOut_ & outputs) | (portAIn_ & ~outputs));
}

std::uint8_t Machine::peekRegister(unsigned offset) const {
    switch (offset) {
    case PORTA:
        return portAPins();
    case PORTC:
        return static_cast<std::uint8_t>((reg_[PORTC] & reg_[DDRC]) | (portCIn_ & ~reg_[DDRC]));
    case PORTD:
        return static_cast<std::uint8_t>(((reg_[PORTD] & reg_[DDRD]) | (portDIn_ & ~reg_[DDRD])) &
                                         0x3F);
    case PORTE:
        return portEIn_;
    case TCNT:
        return static_cast<std::uint8_t>(tcntAt(cycles_) >> 8);
    case TCNT + 1:
        return static_cast<std::uint8_t>(tcntAt(cycles_));
    case SCDR:
        return rdr_;
    case CONFIG:
        return config_;
    case COPRST:
        return 0;
    default:
        return reg_[offset];
    }
}

std::uint8_t Machine::readRegister(unsigned offset) {
    switch (offset) {
    case TCNT: {
        // A read of the high byte latches the low one for the next cycle's read.
        const std::uint16_t count = tcntAt(cycles_);
        tcntLowLatch_ = static_cast<std::uint8_t>(count);
        return static_cast<std::uint8_t>(count >> 8);
    }
    case TCNT + 1:
        return tcntLowLatch_;
    case PACNT:
        syncPulseAccumulator();
        return reg_[PACNT];
    case SCSR:
        scsrSeen_ = reg_[SCSR];
        return reg_[SCSR];
    case SCDR: {
        const std::uint8_t cleared = scsrSeen_ & (RDRF | IDLE | OR | 0x06);
        if (cleared) {
            reg_[SCSR] &= static_cast<std::uint8_t>(~cleared);
            scsrSeen_ &= static_cast<std::uint8_t>(~cleared);
            if (cleared & RDRF) {
                rxTakenAt_ = cycles_;
                sciStartReceive();
            }
            wakeAttention();
        }
        return rdr_;
    }
    case SPSR:
        return reg_[SPSR];
    case SPDR:
        if (reg_[SPSR] & 0x80) {
            reg_[SPSR] &= 0x7F;
            wakeAttention();
        }
        return reg_[SPDR];
    case ADCTL:
        return reg_[ADCTL];
    default:
        return peekRegister(offset);
    }
}

void Machine::writeRegister(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case PORTA:
        setPortAOutput(value, 0xF8);
        return;
    case PORTB:
    case PORTC:
    case PORTCL:
    case DDRC:
    case DDRD:
    case PIOC:
        reg_[offset] = value;
        return;
    case PORTD:
        reg_[PORTD] = value & 0x3F;
        return;
    case CONFIG:
        // An EEPROM cell: programmed through PPROG, in force from the next reset.
        if ((reg_[PPROG] & EELAT) && !(reg_[PPROG] & EEPGM)) {
            eeAddress_ = static_cast<std::uint16_t>(regBase_ + CONFIG);
            eeData_ = value;
        }
        return;
    case PORTE:
    case TCNT:
    case TCNT + 1:
    case TIC1:
    case TIC1 + 1:
    case TIC1 + 2:
    case TIC1 + 3:
    case TIC1 + 4:
    case TIC1 + 5:
    case SCSR:
        return; // read-only here
    case CFORC:
        for (int oc = 0; oc < 5; ++oc)
            if (value & (0x80 >> oc))
                outputCompare(-1 - oc);
        return;
    case TOC1:
    case TOC1 + 1:
    case TOC1 + 2:
    case TOC1 + 3:
    case TOC1 + 4:
    case TOC1 + 5:
    case TOC1 + 6:
    case TOC1 + 7:
    case TI4O5:
    case TI4O5 + 1: {
        reg_[offset] = value;
        const int oc = static_cast<int>(offset - TOC1) / 2;
        const std::uint16_t target =
            static_cast<std::uint16_t>(reg_[TOC1 + 2 * oc] << 8 | reg_[TOC1 + 2 * oc + 1]);
        ocAt_[oc] = whenTcntReaches(target);
        schedule();
        return;
    }
    case TFLG1:
    case TFLG2:
        // Writing ones clears those flags.
        if (offset == TFLG2)
            syncPulseAccumulator();
        reg_[offset] &= static_cast<std::uint8_t>(~value);
        wakeAttention();
        return;
    case TMSK1:
        reg_[TMSK1] = value;
        wakeAttention();
        return;
    case TMSK2:
        if (protectedWritable()) {
            static constexpr unsigned prescales[4] = {1, 4, 8, 16};
            setTimerPrescale(prescales[value & 3]);
            reg_[TMSK2] = value;
        } else {
            reg_[TMSK2] = static_cast<std::uint8_t>((value & 0xF0) | (reg_[TMSK2] & 0x03));
        }
        wakeAttention();
        return;
    case PACTL: {
        syncPulseAccumulator();
        const std::uint8_t pinsBefore = portAPins();
        reg_[PACTL] = chip_ == Chip::A1 ? static_cast<std::uint8_t>(value & 0xF3) : value;
        const unsigned period = 8192u << (reg_[PACTL] & 3);
        const std::uint64_t since = cycles_ - resetAt_;
        rtiAt_ = resetAt_ + (since / period + 1) * period;
        paSyncAt_ = cycles_;
        if ((portAPins() ^ pinsBefore) & 0x80)
            paEdge((portAPins() & 0x80) != 0);
        syncPulseAccumulator();
        return;
    }
    case PACNT:
        syncPulseAccumulator();
        reg_[PACNT] = value;
        syncPulseAccumulator();
        return;
    case SPCR:
        reg_[SPCR] = value;
        wakeAttention();
        return;
    case SPDR: {
        reg_[SPDR] = value;
        if ((reg_[SPCR] & 0x50) == 0x50) {
            static constexpr unsigned dividers[4] = {2, 4, 16, 32};
            spiDoneAt_ = cycles_ + 8u * dividers[reg_[SPCR] & 3];
            schedule();
        }
        return;
    }
    case BAUD:
        reg_[BAUD] = value;
        return;
    case SCCR1:
        reg_[SCCR1] = value;
        return;
    case SCCR2: {
        const std::uint8_t old = reg_[SCCR2];
        reg_[SCCR2] = value;
        if ((value & TE) && !(old & TE) && !txShiftBusy_) {
            // The transmitter sends a whole idle frame before its first byte.
            txShiftBusy_ = true;
            txShiftData_ = false;
            txDoneAt_ = cycles_ + std::uint64_t{sciBitCycles()} * sciFrameBits();
        }
        if (value & RE)
            sciStartReceive();
        schedule();
        wakeAttention();
        return;
    }
    case SCDR:
        tdr_ = value;
        tdrFull_ = true;
        reg_[SCSR] &= static_cast<std::uint8_t>(~(TDRE | TC));
        scsrSeen_ &= static_cast<std::uint8_t>(~(TDRE | TC));
        if ((reg_[SCCR2] & TE) && !txShiftBusy_)
            sciTransferToShifter();
        schedule();
        wakeAttention();
        return;
    case ADCTL:
        reg_[ADCTL] = value & 0x3F;
        adStart();
        return;
    case BPROT:
        if (chip_ == Chip::A1)
            return;
        // Protection can always be set; cleared only just after reset.
        reg_[BPROT] = protectedWritable() ? static_cast<std::uint8_t>(value & 0x1F)
                                          : static_cast<std::uint8_t>(reg_[BPROT] | (value & 0x1F));
        return;
    case OPTION:
        if (protectedWritable())
            reg_[OPTION] = value;
        else
            reg_[OPTION] = static_cast<std::uint8_t>((value & 0xC8) | (reg_[OPTION] & 0x37));
        return;
    case COPRST:
        if (value == 0x55) {
            copArm_ = 1;
        } else if (value == 0xAA && copArm_) {
            copArm_ = 0;
            if (copAt_ != never) {
                copAt_ = cycles_ + (32768u << (2 * (reg_[OPTION] & 3)));
                schedule();
            }
        }
        return;
    case PPROG:
        writePprog(value);
        return;
    case HPRIO:
        // Mode bits are fixed here; the promoted interrupt can change with I set.
        reg_[HPRIO] = static_cast<std::uint8_t>((reg_[HPRIO] & 0xF0) | (value & 0x0F));
        wakeAttention();
        return;
    case INIT:
        if (protectedWritable()) {
            reg_[INIT] = value;
            ramBase_ = static_cast<std::uint16_t>((value & 0xF0) << 8);
            regBase_ = static_cast<std::uint16_t>((value & 0x0F) << 12);
            rebuildMap();
        }
        return;
    case TEST1:
        if (mode_ == Mode::Bootstrap)
            reg_[TEST1] = value;
        return;
    default:
        reg_[offset] = value;
        return;
    }
}

// --- ports, timer, pulse accumulator --------------------------------------

void Machine::setPortAOutput(std::uint8_t bits, std::uint8_t mask) {
    if (reg_[PACTL] & PAMOD)
        syncPulseAccumulator(); // gated time so far counts with the old level
    const std::uint8_t before = portAPins();
    portAOut_ = static_cast<std::uint8_t>((portAOut_ & ~mask) | (bits & mask));
    const std::uint8_t after = portAPins();
    if ((before ^ after) & 0x80)
        paEdge((after & 0x80) != 0);
}

void Machine::setPortAInputs(std::uint8_t levels) {
    if (reg_[PACTL] & PAMOD)
        syncPulseAccumulator();
    const std::uint8_t before = portAPins();
    portAIn_ = levels;
    const std::uint8_t after = portAPins();
    const std::uint8_t changed = before ^ after;
    // Input captures: IC1 on PA2, IC2 on PA1, IC3 on PA0 (and IC4 on PA3).
    const std::uint8_t tctl2 = reg_[TCTL2];
    auto capture = [&](int ic, unsigned bit, unsigned edges) {
        if (!(changed & (1u << bit)) || edges == 0)
            return;
        const bool rising = (after >> bit) & 1;
        if (!((edges == 1 && rising) || (edges == 2 && !rising) || edges == 3))
            return;
        const std::uint16_t count = tcntAt(cycles_);
        const unsigned at = ic < 3 ? TIC1 + 2u * static_cast<unsigned>(ic) : unsigned{TI4O5};
        reg_[at] = static_cast<std::uint8_t>(count >> 8);
        reg_[at + 1] = static_cast<std::uint8_t>(count);
        reg_[TFLG1] |= static_cast<std::uint8_t>(ic < 3 ? 0x04 >> ic : 0x08);
        wakeAttention();
    };
    capture(0, 2, (tctl2 >> 4) & 3);
    capture(1, 1, (tctl2 >> 2) & 3);
    capture(2, 0, tctl2 & 3);
    if (chip_ != Chip::A1 && (reg_[PACTL] & I4O5))
        capture(3, 3, (tctl2 >> 6) & 3);
    if (changed & 0x80)
        paEdge((after & 0x80) != 0);
}

void Machine::setPortInputs(char port, std::uint8_t levels) {
    if (port == 'C')
        portCIn_ = levels;
    else if (port == 'D')
        portDIn_ = levels;
    else if (port == 'E')
        portEIn_ = levels;
}

void Machine::setAnalog(int channel, std::uint8_t value) {
    if (channel >= 0 && channel < 8)
        analog_[static_cast<std::size_t>(channel)] = value;
}

std::uint16_t Machine::tcntAt(std::uint64_t t) const {
    return static_cast<std::uint16_t>(tcntAtEpoch_ + (t - timerEpoch_) / prescale_);
}

std::uint64_t Machine::whenTcntReaches(std::uint16_t value) const {
    const std::uint64_t ticks = (cycles_ - timerEpoch_) / prescale_;
    const std::uint16_t now = static_cast<std::uint16_t>(tcntAtEpoch_ + ticks);
    unsigned distance = static_cast<std::uint16_t>(value - now);
    if (distance == 0)
        distance = 0x10000;
    return timerEpoch_ + (ticks + distance) * prescale_;
}

void Machine::setTimerPrescale(unsigned prescale) {
    tcntAtEpoch_ = tcntAt(cycles_);
    timerEpoch_ = cycles_;
    prescale_ = prescale;
    for (int oc = 0; oc < 5; ++oc)
        ocAt_[oc] = whenTcntReaches(
            static_cast<std::uint16_t>(reg_[TOC1 + 2 * oc] << 8 | reg_[TOC1 + 2 * oc + 1]));
    tofAt_ = whenTcntReaches(0);
    schedule();
}

// index 0-4: a match of TOC1-TOC5; -1..-5: forced by CFORC (no flag).
void Machine::outputCompare(int index) {
    const bool forced = index < 0;
    const int oc = forced ? -1 - index : index;
    if (oc == 4 && chip_ != Chip::A1 && (reg_[PACTL] & I4O5))
        return; // TI4O5 is an input capture then
    if (!forced) {
        reg_[TFLG1] |= static_cast<std::uint8_t>(0x80 >> oc);
        wakeAttention();
    }
    if (oc == 0) {
        const std::uint8_t mask = reg_[OC1M] & 0xF8;
        if (mask)
            setPortAOutput(reg_[OC1D], mask);
        return;
    }
    const unsigned action = (reg_[TCTL1] >> (2 * (4 - oc))) & 3;
    const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> oc); // OC2 on PA6 ... OC5 on PA3
    if (action == 1)
        setPortAOutput(static_cast<std::uint8_t>(portAOut_ ^ bit), bit);
    else if (action == 2)
        setPortAOutput(0, bit);
    else if (action == 3)
        setPortAOutput(bit, bit);
}

void Machine::syncPulseAccumulator() {
    const std::uint8_t pactl = reg_[PACTL];
    const bool gateOpen = ((portAPins() & 0x80) != 0) != ((pactl & PEDGE) != 0);
    if ((pactl & PAEN) && (pactl & PAMOD) && gateOpen) {
        const std::uint64_t ticks = cycles_ / 64 - paSyncAt_ / 64;
        const unsigned total = reg_[PACNT] + static_cast<unsigned>(ticks % 256);
        if (ticks >= 256 || total > 0xFF) {
            reg_[TFLG2] |= 0x20;
            wakeAttention();
        }
        reg_[PACNT] = static_cast<std::uint8_t>(total);
        paovAt_ = (cycles_ / 64 + (256 - reg_[PACNT])) * 64;
    } else {
        paovAt_ = never;
    }
    paSyncAt_ = cycles_;
    schedule();
}

void Machine::paEdge(bool level) {
    const std::uint8_t pactl = reg_[PACTL];
    if (!(pactl & PAEN))
        return;
    const bool counted = ((pactl & PEDGE) != 0) == level; // PEDGE set: rising edges
    if (!(pactl & PAMOD)) {
        if (counted) {
            if (++reg_[PACNT] == 0)
                reg_[TFLG2] |= 0x20;
            reg_[TFLG2] |= 0x10;
            wakeAttention();
        }
    } else {
        // Gated: the trailing edge of the gate sets PAIF.
        if (level == ((pactl & PEDGE) != 0)) {
            reg_[TFLG2] |= 0x10;
            wakeAttention();
        }
        paSyncAt_ = cycles_;
        syncPulseAccumulator();
    }
}

void Machine::adStart() {
    reg_[ADCTL] &= 0x7F;
    adDoneAt_ = cycles_ + 128; // four conversions of 32 E cycles
    schedule();
}

// --- SCI -------------------------------------------------------------------

std::uint32_t Machine::sciBitCycles() const {
    static constexpr std::uint32_t prescales[4] = {1, 3, 4, 13};
    const std::uint8_t baud = reg_[BAUD];
    return 16u * prescales[(baud >> 4) & 3] * (1u << (baud & 7));
}

unsigned Machine::sciFrameBits() const {
    return (reg_[SCCR1] & 0x10) ? 11 : 10;
}

void Machine::sciFeed(std::uint8_t byte) {
    rxQueue_.push_back(byte);
    sciStartReceive();
}

void Machine::sciFeed(const std::string& bytes) {
    for (const char c : bytes)
        rxQueue_.push_back(static_cast<std::uint8_t>(c));
    sciStartReceive();
}

void Machine::sciStartReceive() {
    if (rxDoneAt_ != never || rxQueue_.empty() || !(reg_[SCCR2] & RE))
        return;
    const std::uint64_t frame = std::uint64_t{sciBitCycles()} * sciFrameBits();
    if (feed_ == Feed::Paced) {
        if (reg_[SCSR] & RDRF)
            return;
        if (rxWaitSince_ == never)
            rxWaitSince_ = cycles_;
        // The pause counts from the program's last output or from its taking
        // the previous byte, whichever is later: it must have time to answer.
        const bool txIdle = !txShiftBusy_ && !tdrFull_;
        const std::uint64_t calmFrom = std::max(txIdleSince_, rxTakenAt_) + typistPause * frame;
        const bool quiet = txIdle && cycles_ >= calmFrom;
        if (!quiet && cycles_ < rxWaitSince_ + typistPatience * frame) {
            rxRetryAt_ = txIdle ? calmFrom : cycles_ + frame;
            schedule();
            return;
        }
        rxWaitSince_ = never;
    }
    rxShift_ = rxQueue_.front();
    rxQueue_.pop_front();
    rxDoneAt_ = cycles_ + frame;
    rxIdleAt_ = never;
    schedule();
}

void Machine::sciTransferToShifter() {
    txShift_ = tdr_;
    tdrFull_ = false;
    txShiftBusy_ = true;
    txShiftData_ = true;
    reg_[SCSR] |= TDRE;
    reg_[SCSR] &= static_cast<std::uint8_t>(~TC);
    txDoneAt_ = cycles_ + std::uint64_t{sciBitCycles()} * sciFrameBits();
    wakeAttention();
}

void Machine::sciService() {
    if (cycles_ >= txDoneAt_) {
        const std::uint64_t end = txDoneAt_;
        txDoneAt_ = never;
        txShiftBusy_ = false;
        if (txShiftData_ && onTransmit)
            onTransmit(txShift_);
        txShiftData_ = false;
        if (tdrFull_ && (reg_[SCCR2] & TE)) {
            // Back to back: the next frame starts where this one ended.
            const std::uint64_t now = cycles_;
            cycles_ = end;
            sciTransferToShifter();
            cycles_ = now;
        } else {
            reg_[SCSR] |= TC;
            txIdleSince_ = end;
        }
        wakeAttention();
    }
    if (cycles_ >= rxDoneAt_) {
        const std::uint64_t end = rxDoneAt_;
        rxDoneAt_ = never;
        if (reg_[SCSR] & RDRF) {
            reg_[SCSR] |= OR;
        } else {
            rdr_ = rxShift_;
            reg_[SCSR] |= RDRF;
        }
        idleArmed_ = true;
        const std::uint64_t now = cycles_;
        cycles_ = end;
        sciStartReceive();
        cycles_ = now;
        if (rxDoneAt_ == never)
            rxIdleAt_ = end + std::uint64_t{sciBitCycles()} * sciFrameBits();
        wakeAttention();
    }
    if (cycles_ >= rxRetryAt_) {
        rxRetryAt_ = never;
        sciStartReceive();
    }
    if (cycles_ >= rxIdleAt_) {
        rxIdleAt_ = never;
        if (idleArmed_ && (reg_[SCCR2] & RE)) {
            reg_[SCSR] |= IDLE;
            idleArmed_ = false;
            wakeAttention();
        }
    }
}

// --- events and interrupts -------------------------------------------------

void Machine::schedule() {
    std::uint64_t next = std::min({txDoneAt_, rxDoneAt_, rxIdleAt_, rxRetryAt_, tofAt_, rtiAt_,
                                   copAt_, adDoneAt_, spiDoneAt_, paovAt_});
    for (const std::uint64_t at : ocAt_)
        next = std::min(next, at);
    nextEvent_ = next;
    attentionAt_ = std::min(attentionAt_, nextEvent_);
}

void Machine::timerEvents() {
    for (int oc = 0; oc < 5; ++oc) {
        if (cycles_ >= ocAt_[oc]) {
            ocAt_[oc] += std::uint64_t{0x10000} * prescale_;
            outputCompare(oc);
        }
    }
    if (cycles_ >= tofAt_) {
        tofAt_ += std::uint64_t{0x10000} * prescale_;
        reg_[TFLG2] |= 0x80;
        wakeAttention();
    }
    if (cycles_ >= rtiAt_) {
        rtiAt_ += 8192u << (reg_[PACTL] & 3);
        reg_[TFLG2] |= 0x40;
        wakeAttention();
    }
    if (cycles_ >= paovAt_)
        syncPulseAccumulator();
}

void Machine::service() {
    if (cycles_ >= nextEvent_) {
        timerEvents();
        sciService();
        if (cycles_ >= adDoneAt_) {
            const unsigned channel = reg_[ADCTL] & 7;
            const unsigned base = channel & 4;
            for (unsigned k = 0; k < 4; ++k)
                reg_[ADR1 + k] = analog_[(reg_[ADCTL] & 0x10) ? base + k : channel];
            reg_[ADCTL] |= 0x80;
            adDoneAt_ = (reg_[ADCTL] & 0x20) ? adDoneAt_ + 128 : never;
        }
        if (cycles_ >= spiDoneAt_) {
            spiDoneAt_ = never;
            reg_[SPDR] = 0xFF; // nothing drives MISO: the line idles high
            reg_[SPSR] |= 0x80;
            wakeAttention();
        }
        if (cycles_ >= copAt_) {
            chipReset(vector::COP);
            return;
        }
        schedule();
    }
}

bool Machine::takeInterrupt() {
    if (xirqLine_ && !(r_.ccr & ccr::X)) {
        enterInterrupt(vector::XIRQ, ccr::X | ccr::I, 12);
        return true;
    }
    if (r_.ccr & ccr::I)
        return false;
    const std::uint8_t tflg1 = reg_[TFLG1] & reg_[TMSK1];
    const std::uint8_t tflg2 = reg_[TFLG2] & reg_[TMSK2] & 0xF0;
    const std::uint8_t scsr = reg_[SCSR], sccr2 = reg_[SCCR2];
    const bool sci = ((scsr & TDRE) && (sccr2 & TIE)) || ((scsr & TC) && (sccr2 & TCIE)) ||
                     ((scsr & (RDRF | OR)) && (sccr2 & RIE)) || ((scsr & IDLE) && (sccr2 & ILIE));
    const bool spi = (reg_[SPSR] & 0x80) && (reg_[SPCR] & 0x80);
    const bool irqEdgeMode = reg_[OPTION] & 0x20; // IRQE
    const bool irqPending = irqEdgeMode ? irqEdge_ : irqLine_;
    // Sources from the highest priority down, with the PSEL code of each.
    struct Source {
        bool pending;
        std::uint16_t vec;
        std::uint8_t psel;
    };
    const Source sources[] = {
        {irqPending, vector::IRQ, 6},
        {(tflg2 & 0x40) != 0, vector::RTI, 7},
        {(tflg1 & 0x04) != 0, vector::TIC1, 8},
        {(tflg1 & 0x02) != 0, vector::TIC2, 9},
        {(tflg1 & 0x01) != 0, vector::TIC3, 10},
        {(tflg1 & 0x80) != 0, vector::TOC1, 11},
        {(tflg1 & 0x40) != 0, vector::TOC2, 12},
        {(tflg1 & 0x20) != 0, vector::TOC3, 13},
        {(tflg1 & 0x10) != 0, vector::TOC4, 14},
        {(tflg1 & 0x08) != 0, vector::TOC5, 15},
        {(tflg2 & 0x80) != 0, vector::TOF, 0},
        {(tflg2 & 0x20) != 0, vector::PAOV, 1},
        {(tflg2 & 0x10) != 0, vector::PAI, 2},
        {spi, vector::SPI, 3},
        {sci, vector::SCI, 4},
    };
    std::uint8_t psel = reg_[HPRIO] & 0x0F;
    if (psel == 5)
        psel = 6; // reserved code: IRQ stays first
    const Source* chosen = nullptr;
    for (const Source& s : sources)
        if (s.pending && s.psel == psel)
            chosen = &s;
    for (const Source& s : sources) {
        if (!chosen && s.pending)
            chosen = &s;
    }
    if (!chosen)
        return false;
    if (chosen->vec == vector::IRQ)
        irqEdge_ = false;
    enterInterrupt(chosen->vec, ccr::I, 12);
    return true;
}

void Machine::enterInterrupt(std::uint16_t vec, std::uint8_t setMask, unsigned cost) {
    if (waiting_) {
        // WAI already stacked everything: only the vector fetch remains.
        waiting_ = false;
        cost = 3;
    } else {
        auto push = [this](std::uint8_t v) { wr(r_.sp--, v); };
        push(static_cast<std::uint8_t>(r_.pc));
        push(static_cast<std::uint8_t>(r_.pc >> 8));
        push(static_cast<std::uint8_t>(r_.y));
        push(static_cast<std::uint8_t>(r_.y >> 8));
        push(static_cast<std::uint8_t>(r_.x));
        push(static_cast<std::uint8_t>(r_.x >> 8));
        push(r_.a);
        push(r_.b);
        push(r_.ccr);
    }
    r_.ccr |= setMask;
    const std::uint16_t at = vectorAddress(vec);
    r_.pc = static_cast<std::uint16_t>(rd(at) << 8 | rd(static_cast<std::uint16_t>(at + 1)));
    cycles_ += cost;
}

void Machine::setIrqLine(bool asserted) {
    if (asserted && !irqLine_)
        irqEdge_ = true; // a falling edge of the pin, for the edge-sensitive mode
    irqLine_ = asserted;
    if (asserted && stopped_)
        stopped_ = false;
    wakeAttention();
}

void Machine::setXirqLine(bool asserted) {
    xirqLine_ = asserted;
    if (asserted && stopped_)
        stopped_ = false;
    wakeAttention();
}

// --- bootstrap loader --------------------------------------------------------

// The chip's own loader, one polling step per call: it runs while the CPU
// sits at the boot ROM's entry, costing the E cycles of the ROM's loops.
void Machine::loaderStep() {
    const bool aPart = chip_ == Chip::A1;
    const unsigned fast = 539, slow = 3503; // 19-cycle loops in four character times
    switch (loader_) {
    case Loader::Off:
        return;
    case Loader::Start:
        r_.sp = 0x00FF;
        r_.x = regBase_;
        writeRegister(SPCR, reg_[SPCR] | 0x20); // port D wired-OR
        writeRegister(BAUD, 0xA2);              // E/16/16: 7812 baud at 2 MHz
        writeRegister(SCCR2, TE | RE);
        writeRegister(TOC1, 0x00);
        writeRegister(TOC1 + 1, 0x00);
        writeRegister(TOC1, fast >> 8);
        writeRegister(TOC1 + 1, fast & 0xFF);
        loaderTimeout_ = fast * 19;
        cycles_ += 20;
        loader_ = Loader::Break;
        return;
    case Loader::Break:
        // A break (a frame of zeros) tells the host the loader is ready.
        if (txShiftBusy_) {
            cycles_ += 6;
            return;
        }
        txShift_ = 0;
        txShiftBusy_ = txShiftData_ = true;
        txDoneAt_ = cycles_ + std::uint64_t{sciBitCycles()} * sciFrameBits();
        reg_[SCSR] &= static_cast<std::uint8_t>(~TC);
        schedule();
        cycles_ += 12;
        loader_ = Loader::First;
        return;
    case Loader::First: {
        if (!(reg_[SCSR] & RDRF)) {
            cycles_ += 7;
            return;
        }
        readRegister(SCSR);
        const std::uint8_t first = readRegister(SCDR);
        cycles_ += 10;
        if (first == 0x00) {
            // A break or a zero: straight to the program in EEPROM.
            loader_ = Loader::Off;
            r_.pc = 0xB600;
            return;
        }
        if (first != 0xFF) {
            // $FF sent at 1200 baud arrives garbled: switch to the slow rate.
            writeRegister(BAUD, reg_[BAUD] | 0x33);
            writeRegister(TOC1, slow >> 8);
            writeRegister(TOC1 + 1, slow & 0xFF);
            loaderTimeout_ = slow * 19;
        }
        loaderPtr_ = 0;
        r_.y = 0;
        loaderDeadline_ = cycles_ + loaderTimeout_;
        loaderEchoPending_ = false;
        loader_ = Loader::Loading;
        return;
    }
    case Loader::Loading: {
        const unsigned end = aPart ? 256 : static_cast<unsigned>(ram_.size());
        if (loaderEchoPending_) {
            if (!(reg_[SCSR] & TDRE)) {
                cycles_ += 7;
                return;
            }
            readRegister(SCSR);
            writeRegister(SCDR, loaderEcho_);
            loaderEchoPending_ = false;
            cycles_ += 8;
            // The ROM's delay count starts again at the top of its loop.
            loaderDeadline_ = cycles_ + loaderTimeout_;
            if (loaderPtr_ >= end)
                break;
            return;
        }
        if (reg_[SCSR] & RDRF) {
            readRegister(SCSR);
            const std::uint8_t byte = readRegister(SCDR);
            wr(static_cast<std::uint16_t>(ramBase_ + loaderPtr_), byte);
            loaderEcho_ = byte;
            loaderEchoPending_ = true;
            ++loaderPtr_;
            r_.y = loaderPtr_;
            cycles_ += 12;
            return;
        }
        if (!aPart && cycles_ >= loaderDeadline_)
            break;
        cycles_ += 19;
        return;
    }
    }
    // Done: into the program just loaded.
    loader_ = Loader::Off;
    r_.pc = ramBase_;
}

} // namespace sim11
