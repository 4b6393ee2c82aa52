// The machine as a whole: the blocks of its variant, the bus (the register
// table, the slow path of the memory map, devices and traps), the cycle
// scheduler, the lines and the resets.
#include "sim11/machine.h"

#include "blocks.h"

#include <algorithm>

namespace sim11 {

using namespace bits;

const char* chipName(Chip chip) {
    return variantOf(chip).name;
}

const Variant& Block::variant() const {
    return *m_.variant_;
}

Machine::Machine(Chip chip, Mode mode) : chip_(chip), mode_(mode), variant_(&variantOf(chip)) {
    blocks_ = makeBlocks(*this, *variant_);
    for (const auto& block : blocks_) {
        Block* b = block.get();
        if (auto* p = dynamic_cast<MemoryMap*>(b))
            map_ = p;
        else if (auto* p = dynamic_cast<Ports*>(b))
            ports_ = p;
        else if (auto* p = dynamic_cast<Timer*>(b))
            timer_ = p;
        else if (auto* p = dynamic_cast<Sci*>(b))
            sci_ = p;
        else if (auto* p = dynamic_cast<Spi*>(b))
            spi_ = p;
        else if (auto* p = dynamic_cast<AtoD*>(b))
            ad_ = p;
        else if (auto* p = dynamic_cast<Eeprom*>(b))
            eeprom_ = p;
        else if (auto* p = dynamic_cast<Interrupts*>(b))
            interrupts_ = p;
        else if (auto* p = dynamic_cast<Loader*>(b))
            loader_ = p;
    }
    auto alarms = std::make_unique<Alarms>(*this);
    alarms_ = alarms.get();
    blocks_.push_back(std::move(alarms));
    reset();
}

Machine::~Machine() = default;

// --- resets ----------------------------------------------------------------------

void Machine::reset() {
    chipReset(vector::RESET);
}

void Machine::powerOn() {
    // Every time in the machine is counted from its last reset, so the count
    // can start again; bytes already on the host's line start again too.
    cycles_ = 0;
    sci_->powerOn();
    chipReset(vector::RESET);
}

void Machine::pressReset() {
    chipReset(vector::RESET);
}

void Machine::chipReset(std::uint16_t vec) {
    resetAt_ = cycles_;
    due_.fill(never);
    nextEvent_ = never;
    for (const auto& block : blocks_)
        block->reset();
    stopped_ = waiting_ = false;
    r_.ccr = ccr::S | ccr::X | ccr::I;
    const std::uint16_t at = vectorAddress(vec);
    r_.pc = static_cast<std::uint16_t>(rd(at) << 8 | rd(static_cast<std::uint16_t>(at + 1)));
    wakeAttention();
    if (!pinWatchers_.empty())
        pinsMayHaveChanged();
}

std::uint16_t Machine::vectorAddress(std::uint16_t normal) const {
    // Special modes fetch their vectors from the boot ROM's page.
    return mode_ == Mode::Bootstrap ? static_cast<std::uint16_t>(normal - 0x4000) : normal;
}

bool Machine::protectedWritable() const {
    return mode_ == Mode::Bootstrap || cycles_ - resetAt_ < 64;
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

// --- time ------------------------------------------------------------------------

void Machine::lowerAttention(std::uint64_t at) {
    // Another thread may zero it meanwhile: never raise it over that.
    std::uint64_t current = attentionAt_.load(std::memory_order_relaxed);
    while (at < current &&
           !attentionAt_.compare_exchange_weak(current, at, std::memory_order_relaxed)) {
    }
}

void Machine::schedule(unsigned slot, std::uint64_t at) {
    due_[slot] = at;
    std::uint64_t next = never;
    for (unsigned k = 0; k < slots_; ++k)
        next = std::min(next, due_[k]);
    nextEvent_ = next;
    lowerAttention(nextEvent_);
}

void Machine::service() {
    if (cycles_ < nextEvent_)
        return;
    // In the chip's order; the COP, last, may reset the chip, which sets
    // every block's time again.
    for (unsigned k = 0; k < slots_; ++k)
        if (cycles_ >= due_[k])
            timed_[k]->event();
}

void Alarms::add(Machine::Connection id, Machine::AlarmHandler handler) {
    alarms_.push_back({id, std::move(handler), never});
}

void Alarms::set(Machine::Connection id, std::uint64_t at) {
    for (Alarm& alarm : alarms_)
        if (alarm.id == id)
            alarm.at = at;
    reschedule();
}

void Alarms::remove(Machine::Connection id) {
    std::erase_if(alarms_, [&](const Alarm& a) { return a.id == id; });
    reschedule();
}

void Alarms::reschedule() {
    std::uint64_t next = never;
    for (const Alarm& alarm : alarms_)
        next = std::min(next, alarm.at);
    schedule(next);
}

void Alarms::event() {
    // A handler may set its alarm again, or another's: by index, and each
    // due one cleared before its call.
    for (std::size_t k = 0; k < alarms_.size(); ++k) {
        if (alarms_[k].at > now())
            continue;
        alarms_[k].at = never;
        const Machine::AlarmHandler handler = alarms_[k].handler;
        handler(now());
    }
    reschedule();
}

// --- the bus ---------------------------------------------------------------------

std::uint8_t Machine::peekRegister(unsigned offset) const {
    return registerOwner_[offset]->peek(offset);
}

std::uint8_t Machine::readRegister(unsigned offset) {
    return registerOwner_[offset]->read(offset);
}

void Machine::writeRegister(unsigned offset, std::uint8_t value) {
    registerOwner_[offset]->write(offset, value);
    if (!pinWatchers_.empty())
        pinsMayHaveChanged();
}

void Machine::rebuildMap() {
    map_->build(deviceBlocks_);
    // The register block wins where it overlaps anything.
    fetchMap_[regBase_ >> 6] = nullptr;
    plainWriteMap_[regBase_ >> 6] = nullptr;
    readMap_ = fetchMap_;
    writeMap_ = plainWriteMap_;
    if (anyTraps_) {
        for (unsigned block = 0; block < 1024; ++block) {
            if (readTraps_[block])
                readMap_[block] = nullptr;
            if (writeTraps_[block])
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

BusDevice* Machine::deviceAt(std::uint16_t address) const {
    if (!deviceBlocks_[address >> 6] || !map_->external(address))
        return nullptr;
    for (const Device& d : devices_)
        if (address >= d.from && address <= d.to)
            return d.device;
    return nullptr;
}

std::uint8_t Machine::slowRead(std::uint16_t address) {
    std::uint8_t value;
    if ((address & 0xFFC0) == regBase_)
        value = readRegister(address & 63);
    else if (BusDevice* device = deviceAt(address))
        value = device->read(address, cycles_);
    else
        value = map_->peekAt(address);
    if (anyTraps_)
        trapped(address, value, false);
    return value;
}

std::uint8_t Machine::slowFetch(std::uint16_t address) {
    if ((address & 0xFFC0) == regBase_)
        return readRegister(address & 63);
    if (BusDevice* device = deviceAt(address))
        return device->read(address, cycles_);
    return map_->peekAt(address);
}

void Machine::slowWrite(std::uint16_t address, std::uint8_t value) {
    if ((address & 0xFFC0) == regBase_)
        writeRegister(address & 63, value);
    else if (BusDevice* device = deviceAt(address))
        device->write(address, value, cycles_);
    else
        map_->writeAt(address, value);
    if (anyTraps_)
        trapped(address, value, true);
}

std::uint8_t Machine::peek(std::uint16_t address) const {
    if ((address & 0xFFC0) == regBase_)
        return peekRegister(address & 63);
    if (const BusDevice* device = deviceAt(address))
        return device->peek(address);
    return map_->peekAt(address);
}

std::uint8_t Machine::read(std::uint16_t address) {
    return rd(address);
}

void Machine::write(std::uint16_t address, std::uint8_t value) {
    wr(address, value);
}

std::uint8_t Machine::configCell() const {
    return eeprom_->configCell();
}

bool Machine::load(std::uint16_t address, std::uint8_t value) {
    if (BusDevice* device = deviceAt(address))
        return device->load(address, value);
    return map_->load(address, value);
}

std::uint16_t Machine::ramSize() const {
    return map_->ramSize();
}

Machine::Connection Machine::attachDevice(std::uint16_t from, std::uint16_t to, BusDevice& device) {
    if (mode_ != Mode::Expanded || from > to)
        return 0;
    for (unsigned a = from; a <= to; ++a)
        if ((a & 0xFFC0u) == regBase_ || map_->inRam(static_cast<std::uint16_t>(a)))
            return 0;
    devices_.push_back({from, to, &device, nextConnection_});
    for (unsigned block = from >> 6; block <= to >> 6u; ++block)
        deviceBlocks_[block] = 1;
    rebuildMap();
    return nextConnection_++;
}

// --- lines -----------------------------------------------------------------------

Machine::Connection Machine::connectPins(PinsWatcher watcher) {
    // What it hears from now on are changes from the levels of now.
    for (const Port port : {Port::A, Port::B, Port::C, Port::D, Port::E})
        pinsSeen_[static_cast<std::size_t>(port)] = pins(port);
    pinWatchers_.push_back({nextConnection_, std::move(watcher)});
    return nextConnection_++;
}

Machine::Connection Machine::connectTransmit(ByteWatcher watcher) {
    transmitWatchers_.push_back({nextConnection_, std::move(watcher)});
    return nextConnection_++;
}

Machine::Connection Machine::connectAlarm(AlarmHandler handler) {
    alarms_->add(nextConnection_, std::move(handler));
    return nextConnection_++;
}

void Machine::setAlarm(Connection alarm, std::uint64_t at) {
    alarms_->set(alarm, at);
}

void Machine::disconnect(Connection connection) {
    alarms_->remove(connection);
    std::erase_if(pinWatchers_, [&](const PinsConnection& c) { return c.id == connection; });
    std::erase_if(transmitWatchers_, [&](const ByteConnection& c) { return c.id == connection; });
    const auto gone = std::erase_if(devices_, [&](const Device& d) { return d.id == connection; });
    if (gone) {
        deviceBlocks_.fill(0);
        for (const Device& d : devices_)
            for (unsigned block = d.from >> 6; block <= d.to >> 6u; ++block)
                deviceBlocks_[block] = 1;
        rebuildMap();
    }
}

void Machine::pinsMayHaveChanged() {
    for (const Port port : {Port::A, Port::B, Port::C, Port::D, Port::E}) {
        const std::uint8_t now = pins(port);
        std::uint8_t& seen = pinsSeen_[static_cast<std::size_t>(port)];
        if (now != seen) {
            seen = now;
            // A watcher may drive inputs in answer, which tells the others
            // of the new levels first: the copy keeps the list steady. When
            // that answer is on this same port (a keypad's rows beside its
            // columns), everyone has heard its newer levels: the older ones
            // are told no further.
            for (std::size_t k = 0; k < pinWatchers_.size() && seen == now; ++k)
                pinWatchers_[k].watcher(port, now, cycles_);
        }
    }
}

void Machine::transmitted(std::uint8_t byte) {
    for (std::size_t k = 0; k < transmitWatchers_.size(); ++k)
        transmitWatchers_[k].watcher(byte, cycles_);
}

std::uint8_t Machine::pins(Port port) const {
    return port == Port::A ? timer_->portAPins() : ports_->pins(port);
}

std::uint8_t Machine::outputs(Port port) const {
    return port == Port::A ? timer_->portAOutputs() : ports_->outputs(port);
}

void Machine::setPortInputs(Port port, std::uint8_t levels) {
    if (port == Port::A)
        timer_->setPortAInputs(levels);
    else
        ports_->setInputs(port, levels);
    if (!pinWatchers_.empty())
        pinsMayHaveChanged();
}

void Machine::setAnalog(int channel, std::uint8_t value) {
    ad_->setInput(channel, value);
}

void Machine::setSignal(Signal signal, bool asserted) {
    switch (signal) {
    case Signal::Irq:
        interrupts_->setIrq(asserted);
        return;
    case Signal::Xirq:
        interrupts_->setXirq(asserted);
        return;
    case Signal::Reset:
        if (asserted == resetHeld_)
            return;
        resetHeld_ = asserted;
        // The chip stays in reset while the line is held, and leaves it
        // through the reset vector when it is released.
        chipReset(vector::RESET);
        return;
    }
}

bool Machine::signal(Signal signal) const {
    switch (signal) {
    case Signal::Irq:
        return interrupts_->irq();
    case Signal::Xirq:
        return interrupts_->xirq();
    case Signal::Reset:
        return resetHeld_;
    }
    return false;
}

void Machine::setOc5ToXirq(bool wired) {
    interrupts_->setOc5ToXirq(wired);
}

void Machine::sciFeed(std::uint8_t byte) {
    sci_->feed(byte);
}

void Machine::sciFeed(const std::string& bytes) {
    sci_->feed(bytes);
}

std::size_t Machine::sciWaiting() const {
    return sci_->waiting();
}

void Machine::setFeed(Feed feed) {
    sci_->setFeed(feed);
}

Feed Machine::feed() const {
    return sci_->feedMode();
}

void Machine::setHostBaud(unsigned baud, double eClockHz) {
    sci_->setHostBaud(baud, eClockHz);
    eeprom_->setEClock(eClockHz);
}

std::uint32_t Machine::sciBitCycles() const {
    return sci_->bitCycles();
}

} // namespace sim11
