#include "simulation/controller.h"

#include <QThread>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "hc11/disassembler.h"
#include "sim11/machine.h"

namespace kavrel::simulation {

namespace {

constexpr std::uint8_t kRts = 0x39, kRti = 0x3B, kJsrDirect = 0x9D, kJsrExtended = 0xBD,
                       kJsrIndexedX = 0xAD, kBsr = 0x8D, kPrebyteY = 0x18;
// Register offsets in the block INIT places.
constexpr unsigned kPortA = 0x00, kPortC = 0x03, kPortB = 0x04, kDdrC = 0x07, kPortD = 0x08,
                   kDdrD = 0x09, kPortE = 0x0A, kPactl = 0x26;
// A slice of a run, in wall time: short enough for "Arrêter" to stop at once.
constexpr qint64 kSliceNs = 4'000'000;

} // namespace

Controller::Controller(QObject* parent) : QObject(parent) {
    qRegisterMetaType<Update>();
    sliceTimer_ = new QTimer(this);
    sliceTimer_->setSingleShot(true);
    connect(sliceTimer_, &QTimer::timeout, this, &Controller::slice);
}

Controller::~Controller() = default;

void Controller::load(MachineChoice choice, std::shared_ptr<const Program> program) {
    choice_ = choice;
    program_ = std::move(program);
    reset();
}

void Controller::reset() {
    running_ = false;
    sliceTimer_->stop();
    machine_ = std::make_unique<sim11::Machine>(choice_.chip, choice_.mode);
    machine_->setFeed(sim11::Feed::Line);
    machine_->onTransmit = [this](std::uint8_t byte) { transmitted_.append(static_cast<char>(byte)); };
    if (program_)
        for (const asmhc11::Segment& segment : program_->segments())
            for (std::size_t i = 0; i < segment.bytes.size(); ++i)
                machine_->load(static_cast<std::uint16_t>(segment.address + i), segment.bytes[i]);
    machine_->reset();
    applyInputs();
    placeAtEntry();
    publish(false, StopReason::Loaded, 0);
}

void Controller::pinReset() {
    const bool wasRunning = running_;
    machine_->reset();
    applyInputs();
    placeAtEntry();
    if (wasRunning)
        paceStartCycles_ = machine_->cycles(), paceClock_.restart();
    else
        publish(false, StopReason::Loaded, 0);
}

// A program that does not fill the reset vector starts where it says, as a
// monitor would start it; the bootstrap mode always runs its loader.
void Controller::placeAtEntry() {
    if (!program_ || choice_.mode == sim11::Mode::Bootstrap || program_->setsResetVector())
        return;
    if (const auto entry = program_->entry())
        machine_->regs().pc = *entry;
}

void Controller::applyInputs() {
    machine_->setPortAInputs(inputs_[static_cast<int>(Port::A)]);
    machine_->setPortInputs('C', inputs_[static_cast<int>(Port::C)]);
    machine_->setPortInputs('D', inputs_[static_cast<int>(Port::D)]);
    machine_->setPortInputs('E', inputs_[static_cast<int>(Port::E)]);
    for (int channel = 0; channel < 8; ++channel)
        machine_->setAnalog(channel, analog_[static_cast<std::size_t>(channel)]);
    machine_->setIrqLine(irq_);
    machine_->setXirqLine(xirq_);
}

void Controller::step() {
    if (running_ || !machine_)
        return;
    StopReason reason = StopReason::Step;
    std::uint16_t where = 0;
    const std::uint16_t pc = machine_->regs().pc;
    if (!hc11::disassemble(pc, [this](std::uint16_t a) { return machine_->peek(a); }).instruction) {
        reason = StopReason::IllegalOpcode;
        where = pc;
    }
    machine_->step();
    if (machine_->stopped())
        reason = StopReason::StopInstruction;
    publish(false, reason, where);
}

void Controller::stepOver() {
    if (running_ || !machine_)
        return;
    const sim11::Registers& r = machine_->regs();
    std::uint8_t op = machine_->peek(r.pc);
    const bool viaY = op == kPrebyteY;
    if (viaY)
        op = machine_->peek(static_cast<std::uint16_t>(r.pc + 1));
    const bool call = op == kBsr || op == kJsrDirect || op == kJsrExtended || op == kJsrIndexedX;
    if (!call) {
        step();
        return;
    }
    const auto length =
        hc11::disassemble(r.pc, [this](std::uint16_t a) { return machine_->peek(a); }).length;
    startRun(Goal::Over, static_cast<std::uint16_t>(r.pc + length), r.sp);
}

void Controller::stepOut() {
    if (running_ || !machine_)
        return;
    startRun(Goal::Out, 0, machine_->regs().sp);
}

void Controller::run() {
    if (running_ || !machine_)
        return;
    startRun(Goal::Free);
}

void Controller::halt() {
    if (running_)
        finish(StopReason::User);
}

void Controller::runTo(std::uint16_t address) {
    if (running_ || !machine_)
        return;
    startRun(Goal::To, address);
}

void Controller::setRealTime(bool on) {
    realTime_ = on;
    paceStartCycles_ = machine_ ? machine_->cycles() : 0;
    paceClock_.restart();
}

void Controller::setBreakpoints(std::vector<std::uint16_t> addresses) {
    std::fill(breakpoints_.begin(), breakpoints_.end(), 0);
    for (const std::uint16_t address : addresses)
        breakpoints_[address] = 1;
    anyBreakpoint_ = !addresses.empty();
}

void Controller::setWatchpoint(int address, bool onWrite) {
    (void)onWrite; // reads are not seen yet: a change of the byte is
    watchpoint_ = address;
    if (machine_ && address >= 0)
        watchedValue_ = machine_->peek(static_cast<std::uint16_t>(address));
}

void Controller::setRegisters(sim11::Registers registers) {
    if (running_ || !machine_)
        return;
    machine_->regs() = registers;
    publish(false, StopReason::Loaded, 0);
}

void Controller::writeMemory(std::uint16_t address, std::uint8_t value) {
    if (running_ || !machine_)
        return;
    // As the CPU would write it, so that a register takes effect; ROM and
    // EEPROM take the byte as a program's image would.
    if (!machine_->load(address, value))
        machine_->write(address, value);
    if (address == watchpoint_)
        watchedValue_ = value;
    publish(false, StopReason::Loaded, 0);
}

void Controller::setPortInputs(Port port, std::uint8_t levels) {
    inputs_[static_cast<int>(port)] = levels;
    if (!machine_)
        return;
    applyInputs();
    if (!running_)
        publish(false, StopReason::None, 0);
}

void Controller::setAnalog(int channel, std::uint8_t value) {
    if (channel < 0 || channel >= 8)
        return;
    analog_[static_cast<std::size_t>(channel)] = value;
    if (!machine_)
        return;
    machine_->setAnalog(channel, value);
    if (!running_)
        publish(false, StopReason::None, 0);
}

void Controller::setIrq(bool asserted) {
    irq_ = asserted;
    if (machine_)
        machine_->setIrqLine(asserted);
    if (machine_ && !running_)
        publish(false, StopReason::None, 0);
}

void Controller::setXirq(bool asserted) {
    xirq_ = asserted;
    if (machine_)
        machine_->setXirqLine(asserted);
    if (machine_ && !running_)
        publish(false, StopReason::None, 0);
}

void Controller::type(QByteArray bytes) {
    if (!machine_)
        return;
    machine_->sciFeed(bytes.toStdString());
}

void Controller::startRun(Goal goal, std::uint16_t target, std::uint16_t stack) {
    goal_ = goal;
    target_ = target;
    stack_ = stack;
    running_ = true;
    stopRequested_.store(false, std::memory_order_relaxed);
    paceStartCycles_ = machine_->cycles();
    paceClock_.restart();
    sinceRefresh_.restart();
    if (watchpoint_ >= 0)
        watchedValue_ = machine_->peek(static_cast<std::uint16_t>(watchpoint_));
    // The instruction under the PC runs even where a breakpoint stands: the
    // run leaves it.
    leaving_ = true;
    StopReason reason = StopReason::None;
    std::uint16_t where = 0;
    const bool ended = runUntil(machine_->cycles() + 1, reason, where);
    if (ended) {
        finish(reason, where);
        return;
    }
    publish(true, StopReason::None, 0);
    sliceTimer_->start(0);
}

void Controller::slice() {
    if (!running_)
        return;
    QElapsedTimer clock;
    clock.start();
    StopReason reason = StopReason::None;
    std::uint16_t where = 0;
    for (;;) {
        if (stopRequested_.load(std::memory_order_relaxed)) {
            finish(StopReason::User);
            return;
        }
        std::uint64_t limit = machine_->cycles() + cyclesPerSlice_;
        if (realTime_) {
            const auto due = paceStartCycles_ + static_cast<std::uint64_t>(
                                                    static_cast<double>(paceClock_.nsecsElapsed()) *
                                                    kEClockHz / 1e9);
            limit = std::min(limit, due);
            if (limit <= machine_->cycles())
                break; // ahead of the clock: wait for it
        }
        if (runUntil(limit, reason, where)) {
            finish(reason, where);
            return;
        }
        if (clock.nsecsElapsed() >= kSliceNs)
            break;
    }
    // Sized so that a slice checks the clock a few times.
    const qint64 spent = std::max<qint64>(clock.nsecsElapsed(), 1);
    if (!realTime_ && spent < kSliceNs / 8)
        cyclesPerSlice_ = std::min<std::uint64_t>(cyclesPerSlice_ * 2, 4'000'000);
    else if (spent > kSliceNs * 2 && cyclesPerSlice_ > 2000)
        cyclesPerSlice_ /= 2;
    if (sinceRefresh_.elapsed() >= 1000 / kRefreshRate &&
        !updateInFlight_.load(std::memory_order_acquire)) {
        sinceRefresh_.restart();
        publish(true, StopReason::None, 0);
    }
    // Real time sleeps until the clock has moved on; full speed yields only
    // to the events already posted (a stop, an input).
    sliceTimer_->start(realTime_ ? 1 : 0);
}

bool Controller::executesNothing(std::uint16_t pc) const {
    // Erased memory reads $FF everywhere, and nothing of the program lies there.
    if (program_ && program_->result().used[pc])
        return false;
    for (int i = 0; i < 4; ++i)
        if (machine_->peek(static_cast<std::uint16_t>(pc + i)) != 0xFF)
            return false;
    return true;
}

bool Controller::runUntil(std::uint64_t limit, StopReason& reason, std::uint16_t& where) {
    sim11::Machine& m = *machine_;
    const bool watching = goal_ != Goal::Free || anyBreakpoint_ || watchpoint_ >= 0;
    if (!watching) {
        leaving_ = false;
        const sim11::Halt halt = m.run(limit);
        if (halt == sim11::Halt::Stop) {
            reason = StopReason::StopInstruction;
            return true;
        }
        if (executesNothing(m.regs().pc)) {
            reason = StopReason::EmptyMemory;
            where = m.regs().pc;
            return true;
        }
        return false;
    }
    while (m.cycles() < limit) {
        const std::uint16_t pc = m.regs().pc;
        const bool leaving = std::exchange(leaving_, false);
        if (breakpoints_[pc] && !leaving) {
            reason = StopReason::Breakpoint;
            return true;
        }
        if (goal_ == Goal::To && pc == target_ && !leaving) {
            reason = StopReason::Cursor;
            return true;
        }
        if (goal_ == Goal::Over && pc == target_ && m.regs().sp >= stack_) {
            reason = StopReason::StepOver;
            return true;
        }
        const std::uint8_t op = m.peek(pc);
        if (!hc11::disassemble(pc, [&m](std::uint16_t a) { return m.peek(a); }).instruction) {
            reason = StopReason::IllegalOpcode;
            where = pc;
            return true;
        }
        if (executesNothing(pc)) {
            reason = StopReason::EmptyMemory;
            where = pc;
            return true;
        }
        m.step();
        if (m.stopped()) {
            reason = StopReason::StopInstruction;
            return true;
        }
        if (goal_ == Goal::Out && (op == kRts || op == kRti) && m.regs().sp > stack_) {
            reason = StopReason::StepOut;
            return true;
        }
        if (watchpoint_ >= 0) {
            const std::uint8_t now = m.peek(static_cast<std::uint16_t>(watchpoint_));
            if (now != watchedValue_) {
                watchedValue_ = now;
                reason = StopReason::Watchpoint;
                return true;
            }
        }
    }
    return false;
}

void Controller::finish(StopReason reason, std::uint16_t where) {
    running_ = false;
    sliceTimer_->stop();
    stopRequested_.store(false, std::memory_order_relaxed);
    publish(false, reason, where);
}

void Controller::publish(bool running, StopReason reason, std::uint16_t where) {
    auto snapshot = std::make_shared<Snapshot>();
    const sim11::Machine& m = *machine_;
    snapshot->chip = m.chip();
    snapshot->mode = m.mode();
    snapshot->regs = m.regs();
    snapshot->cycles = m.cycles();
    snapshot->seconds = static_cast<double>(m.cycles()) / kEClockHz;
    snapshot->running = running;
    for (std::uint32_t a = 0; a < 0x10000; ++a)
        snapshot->memory[a] = m.peek(static_cast<std::uint16_t>(a));
    const std::uint16_t base = m.registerBase();
    snapshot->registerBase = base;
    auto reg = [&](unsigned offset) { return snapshot->memory[(base + offset) & 0xFFFF]; };
    const bool singleChip = m.mode() != sim11::Mode::Expanded;
    const std::uint8_t pactl = reg(kPactl);
    std::uint8_t aOut = 0x70; // PA4-PA6
    if (m.chip() == sim11::Chip::A1 || (pactl & 0x08))
        aOut |= 0x08;
    if (pactl & 0x80)
        aOut |= 0x80;
    snapshot->ports[static_cast<int>(Port::A)] = {reg(kPortA), aOut, 0xFF};
    snapshot->ports[static_cast<int>(Port::B)] = {reg(kPortB), 0xFF,
                                                  static_cast<std::uint8_t>(singleChip ? 0xFF : 0)};
    snapshot->ports[static_cast<int>(Port::C)] = {reg(kPortC), reg(kDdrC),
                                                  static_cast<std::uint8_t>(singleChip ? 0xFF : 0)};
    snapshot->ports[static_cast<int>(Port::D)] = {reg(kPortD), static_cast<std::uint8_t>(reg(kDdrD) & 0x3F),
                                                  0x3F};
    snapshot->ports[static_cast<int>(Port::E)] = {reg(kPortE), 0x00, 0xFF};
    snapshot->analog = analog_;
    snapshot->irqLine = irq_;
    snapshot->xirqLine = xirq_;

    Update update;
    update.snapshot = std::move(snapshot);
    update.running = running;
    update.reason = reason;
    update.where = where;
    update.transmitted = transmitted_;
    transmitted_.clear();
    if (running)
        updateInFlight_.store(true, std::memory_order_release);
    emit updated(update);
}

} // namespace kavrel::simulation
