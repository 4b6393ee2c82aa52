#include "sim11/session.h"

#include "common/hex_text.h"
#include "hc11/instruction_set.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace sim11 {

namespace {

using Clock = Pacer::Clock;

// A slice of a run between two looks at the inputs, the clock and whatever
// runs beside the session: at full speed long enough to cost nothing, paced
// short enough that an echo reaches a host within a millisecond of its
// simulated time.
constexpr std::uint64_t fullSpeedSlice = 20000;
constexpr std::uint64_t pacedSlice = 2000;
// Behind the wall clock by more than this (the process was held up), real
// time starts again from now rather than racing to catch up.
constexpr auto maxLag = std::chrono::milliseconds(250);

void mark(Machine::AddressSet& set, std::uint16_t address, bool on) {
    const std::uint64_t bit = std::uint64_t{1} << (address & 63);
    if (on)
        set[address >> 6] |= bit;
    else
        set[address >> 6] &= ~bit;
}

bool marked(const Machine::AddressSet& set, std::uint16_t address) {
    return (set[address >> 6] >> (address & 63)) & 1;
}

// The length of a JSR or BSR at `pc`, or 0 for any other instruction.
unsigned callLength(const Machine& m, std::uint16_t pc) {
    std::uint8_t op = m.peek(pc);
    hc11::Page page = hc11::Page::P1;
    for (const hc11::Page p : {hc11::Page::P2, hc11::Page::P3, hc11::Page::P4})
        if (op == hc11::prebyteOf(p)) {
            page = p;
            op = m.peek(static_cast<std::uint16_t>(pc + 1));
        }
    const hc11::Instruction* ins = hc11::decode(page, op);
    if (!ins || (ins->mnemonic != "JSR" && ins->mnemonic != "BSR"))
        return 0;
    return ins->length;
}

} // namespace

// Inputs set from other threads wait here for the thread that runs the session.
struct Session::Inbox {
    std::mutex mutex;
    std::vector<std::function<void()>> actions;
    std::atomic<bool> pending{false};
};

Session::Session(Setup setup) : setup_(setup), inbox_(std::make_unique<Inbox>()) {
    configure(setup);
}

Session::~Session() = default;

bool Session::configure(const Setup& setup, std::string* error) {
    setup_ = setup;
    machine_ = std::make_unique<Machine>(setup.chip, setup.mode);
    Machine& m = *machine_;
    m.setOc5ToXirq(setup.board == Board::Evb);
    m.setFeed(feed_);
    m.setHostBaud(hostBaud_, pacer_.eClock());
    m.setStopOnIllegal(stopOnIllegal_);
    m.setStopOnCopReset(stopOnCopReset_);
    for (const std::uint16_t address : breakpoints_)
        m.setBreakpoint(address, true);
    rebuildTraps();
    installHooks();
    std::string why;
    bool ok = true;
    for (const Segment& segment : image_)
        ok = storeSegment(segment, why) && ok;
    if (!ok && error)
        *error = why;
    reset();
    return ok;
}

void Session::installHooks() {
    Machine& m = *machine_;
    m.connectTransmit([this](std::uint8_t byte, std::uint64_t) {
        if (onTransmit)
            onTransmit(byte);
        if (stopOnTransmit_) {
            hookEnd_ = RunEnd::Transmitted;
            endedByHook_ = true;
            machine_->endRun();
        }
    });
    pinsConnection_ = 0;
    m.onAccess = [this](std::uint16_t address, std::uint8_t value, bool write) {
        if (write && onMemoryWritten && marked(memoryWatches_, address))
            onMemoryWritten(address, value);
        if (marked(write ? writeWatches_ : readWatches_, address)) {
            lastWatch_ = {address, value, write};
            return true;
        }
        return false;
    };
}

// The pins are watched only while somebody listens: a plain run pays nothing.
void Session::syncHooks() {
    if (onPins && !pinsConnection_) {
        pinsConnection_ =
            machine_->connectPins([this](Port port, std::uint8_t levels, std::uint64_t) {
                if (onPins)
                    onPins(port, levels);
            });
    } else if (!onPins && pinsConnection_) {
        machine_->disconnect(pinsConnection_);
        pinsConnection_ = 0;
    }
}

void Session::rebuildTraps() {
    Machine::AddressSet writes = writeWatches_;
    for (std::size_t k = 0; k < writes.size(); ++k)
        writes[k] |= memoryWatches_[k];
    machine_->setAccessTraps(readWatches_, writes);
}

// --- the program ---------------------------------------------------------------

bool Session::storeSegment(const Segment& segment, std::string& error) {
    for (std::size_t k = 0; k < segment.bytes.size(); ++k) {
        const auto address = static_cast<std::uint16_t>(segment.address + k);
        if (!machine_->load(address, segment.bytes[k])) {
            error = "l'adresse " + kavrel::hex::word(address) + " n'est pas dans la mémoire du " +
                    chipName(setup_.chip) + " dans ce mode";
            return false;
        }
    }
    return true;
}

bool Session::load(const std::vector<Segment>& segments, std::string& error) {
    for (const Segment& segment : segments) {
        if (!storeSegment(segment, error))
            return false;
        image_.push_back(segment);
    }
    return true;
}

bool Session::loadS19File(const std::string& path, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + " : c'est un répertoire, pas un fichier S19";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + " : fichier illisible";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = path + " : fichier illisible";
        return false;
    }
    S19Image s19;
    std::string why;
    if (!parseS19(text.str(), s19, why) || !load(s19.blocks, why)) {
        error = path + " : " + why;
        return false;
    }
    if (s19.entry)
        entry_ = s19.entry;
    return true;
}

void Session::clearImage() {
    image_.clear();
    entry_.reset();
}

// --- resets ----------------------------------------------------------------------

void Session::reset() {
    std::string ignored;
    for (const Segment& segment : image_)
        storeSegment(segment, ignored);
    machine_->powerOn();
    if (start_)
        machine_->regs().pc = *start_;
}

void Session::pressReset() {
    machine_->pressReset();
    if (start_)
        machine_->regs().pc = *start_;
}

// --- settings ------------------------------------------------------------------

void Session::setEClock(double hertz) {
    pacer_.setEClock(hertz, Clock::now(), machine_->cycles());
    machine_->setHostBaud(hostBaud_, hertz);
}

void Session::setStopOnIllegal(bool on) {
    stopOnIllegal_ = on;
    machine_->setStopOnIllegal(on);
}

void Session::setStopOnCopReset(bool on) {
    stopOnCopReset_ = on;
    machine_->setStopOnCopReset(on);
}

// --- breakpoints and watchpoints -------------------------------------------------

void Session::setBreakpoint(std::uint16_t address, bool on) {
    const auto at = std::find(breakpoints_.begin(), breakpoints_.end(), address);
    if (on && at == breakpoints_.end())
        breakpoints_.push_back(address);
    else if (!on && at != breakpoints_.end())
        breakpoints_.erase(at);
    if (!tempBreak_ || *tempBreak_ != address || on)
        machine_->setBreakpoint(address, on);
}

bool Session::breakpoint(std::uint16_t address) const {
    return std::find(breakpoints_.begin(), breakpoints_.end(), address) != breakpoints_.end();
}

std::vector<std::uint16_t> Session::breakpoints() const {
    std::vector<std::uint16_t> sorted = breakpoints_;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

void Session::clearBreakpoints() {
    breakpoints_.clear();
    machine_->clearBreakpoints();
    if (tempBreak_)
        machine_->setBreakpoint(*tempBreak_, true);
}

void Session::setWatchpoint(std::uint16_t address, Access access) {
    mark(readWatches_, address, (static_cast<unsigned>(access) & 1) != 0);
    mark(writeWatches_, address, (static_cast<unsigned>(access) & 2) != 0);
    rebuildTraps();
}

Access Session::watchpoint(std::uint16_t address) const {
    return static_cast<Access>((marked(readWatches_, address) ? 1 : 0) |
                               (marked(writeWatches_, address) ? 2 : 0));
}

void Session::clearWatchpoints() {
    readWatches_.fill(0);
    writeWatches_.fill(0);
    rebuildTraps();
}

void Session::watchMemory(std::uint16_t from, std::uint16_t to) {
    for (unsigned a = from; a <= to; ++a)
        mark(memoryWatches_, static_cast<std::uint16_t>(a), true);
    rebuildTraps();
}

void Session::clearMemoryWatches() {
    memoryWatches_.fill(0);
    rebuildTraps();
}

// --- inputs ----------------------------------------------------------------------

void Session::post(std::function<void()> action) {
    std::lock_guard<std::mutex> lock(inbox_->mutex);
    inbox_->actions.push_back(std::move(action));
    inbox_->pending.store(true, std::memory_order_release);
}

void Session::applyInputs() {
    if (!inbox_->pending.load(std::memory_order_acquire))
        return;
    std::vector<std::function<void()>> actions;
    {
        std::lock_guard<std::mutex> lock(inbox_->mutex);
        actions.swap(inbox_->actions);
        inbox_->pending.store(false, std::memory_order_relaxed);
    }
    for (const auto& action : actions)
        action();
}

void Session::sciSend(const std::string& bytes) {
    post([this, bytes] { machine_->sciFeed(bytes); });
}

void Session::sciSend(std::uint8_t byte) {
    post([this, byte] { machine_->sciFeed(byte); });
}

void Session::setFeed(Feed feed) {
    post([this, feed] {
        feed_ = feed;
        machine_->setFeed(feed);
    });
}

void Session::setHostBaud(unsigned baud) {
    post([this, baud] {
        hostBaud_ = baud;
        machine_->setHostBaud(baud, pacer_.eClock());
    });
}

void Session::setPortInputs(Port port, std::uint8_t levels) {
    post([this, port, levels] { machine_->setPortInputs(port, levels); });
}

void Session::setAnalog(int channel, std::uint8_t value) {
    post([this, channel, value] { machine_->setAnalog(channel, value); });
}

void Session::setAnalogVolts(int channel, double volts, double vrh, double vrl) {
    // The converter's ratio: VRL reads $00, VRH and above $FF.
    double ratio = vrh > vrl ? (volts - vrl) / (vrh - vrl) : 0.0;
    ratio = std::clamp(ratio, 0.0, 1.0);
    setAnalog(channel, static_cast<std::uint8_t>(std::lround(ratio * 255.0)));
}

void Session::setIrqLine(bool asserted) {
    post([this, asserted] { machine_->setIrqLine(asserted); });
}

void Session::setXirqLine(bool asserted) {
    post([this, asserted] { machine_->setXirqLine(asserted); });
}

void Session::requestHalt() {
    machine_->requestHalt();
}

// --- looking ---------------------------------------------------------------------

Snapshot Session::snapshot() {
    applyInputs();
    const Machine& m = *machine_;
    Snapshot s;
    s.regs = m.regs();
    s.cycles = m.cycles();
    s.seconds = seconds();
    static constexpr Port ports[5] = {Port::A, Port::B, Port::C, Port::D, Port::E};
    for (std::size_t k = 0; k < 5; ++k) {
        s.pins[k] = m.pins(ports[k]);
        s.outputs[k] = m.outputs(ports[k]);
    }
    s.stopped = m.stopped();
    s.waiting = m.waiting();
    s.registerBase = m.registerBase();
    s.ramBase = m.ramBase();
    s.ramSize = m.ramSize();
    return s;
}

void Session::peek(std::uint16_t from, std::span<std::uint8_t> out) const {
    for (std::size_t k = 0; k < out.size(); ++k)
        out[k] = machine_->peek(static_cast<std::uint16_t>(from + k));
}

bool Session::poke(std::uint16_t address, std::uint8_t value) {
    const std::uint16_t base = machine_->registerBase();
    if (address >= base && address < base + 64 && (address & 63) != 0x3F) {
        machine_->write(address, value);
        return true;
    }
    return machine_->load(address, value);
}

// --- running ---------------------------------------------------------------------

void Session::endGoal() {
    if (tempBreak_) {
        machine_->setBreakpoint(*tempBreak_, breakpoint(*tempBreak_));
        tempBreak_.reset();
    }
    machine_->clearReturnWatch();
    goal_ = Goal::Run;
}

void Session::begin(Goal goal, std::uint16_t address) {
    endGoal();
    paceAnchored_ = false;
    machine_->cancelHalt();
    goal_ = goal;
    Machine& m = *machine_;
    switch (goal) {
    case Goal::Run:
    case Goal::Step:
        break;
    case Goal::RunTo:
        tempBreak_ = address;
        m.setBreakpoint(address, true);
        break;
    case Goal::StepOver:
        if (const unsigned length = callLength(m, m.regs().pc)) {
            // The call's return: back at the next instruction with the stack
            // as it was (a recursive call passing by does not count).
            tempBreak_ = static_cast<std::uint16_t>(m.regs().pc + length);
            goalSp_ = m.regs().sp;
            m.setBreakpoint(*tempBreak_, true);
        } else {
            goal_ = Goal::Step;
        }
        break;
    case Goal::StepOut:
        m.setReturnWatch(m.regs().sp);
        break;
    }
}

RunEnd Session::step() {
    begin(Goal::Step);
    return runCore(unlimited, std::nullopt, nullptr);
}

RunEnd Session::stepCore(std::uint64_t stopAt, std::optional<Clock::time_point> deadline) {
    Machine& m = *machine_;
    RunEnd end;
    for (;;) {
        const bool wasWaiting = m.waiting();
        const Halt halt = m.step();
        if (halt != Halt::CycleLimit) {
            end = translate(halt);
            break;
        }
        if (!wasWaiting || !m.waiting()) {
            end = RunEnd::Done;
            break;
        }
        // A WAI waits for an interrupt the user may yet give.
        applyInputs();
        if (m.cycles() >= stopAt)
            return RunEnd::CycleLimit;
        if (deadline && Clock::now() >= *deadline)
            return RunEnd::TimeSlice;
    }
    endGoal();
    return end;
}

RunEnd Session::stepOver(std::uint64_t maxCycles) {
    begin(Goal::StepOver);
    return runCore(maxCycles, std::nullopt, nullptr);
}

RunEnd Session::stepOut(std::uint64_t maxCycles) {
    begin(Goal::StepOut);
    return runCore(maxCycles, std::nullopt, nullptr);
}

RunEnd Session::runTo(std::uint16_t address, std::uint64_t maxCycles) {
    begin(Goal::RunTo, address);
    return runCore(maxCycles, std::nullopt, nullptr);
}

RunEnd Session::run(std::uint64_t maxCycles) {
    begin(Goal::Run);
    return runCore(maxCycles, std::nullopt, nullptr);
}

RunEnd Session::runFor(std::chrono::nanoseconds wall, std::uint64_t maxCycles) {
    return runCore(maxCycles, Clock::now() + wall, nullptr);
}

RunEnd Session::runBeside(RunCompanion& companion, std::uint64_t maxCycles) {
    return runCore(maxCycles, std::nullopt, &companion);
}

RunEnd Session::translate(Halt halt) const {
    switch (halt) {
    case Halt::CycleLimit:
        return RunEnd::CycleLimit;
    case Halt::Stop:
        return RunEnd::Stop;
    case Halt::Requested:
        return RunEnd::Halted;
    case Halt::Breakpoint:
        return RunEnd::Breakpoint;
    case Halt::Access:
        return RunEnd::Watchpoint;
    case Halt::Illegal:
        return RunEnd::IllegalOpcode;
    case Halt::CopReset:
        return RunEnd::CopReset;
    case Halt::Returned:
        return RunEnd::Done;
    case Halt::Ended:
        return hookEnd_;
    }
    return RunEnd::Halted;
}

RunEnd Session::runCore(std::uint64_t maxCycles, std::optional<Clock::time_point> deadline,
                        RunCompanion* companion) {
    syncHooks();
    applyInputs();
    Machine& m = *machine_;
    const std::uint64_t first = m.cycles();
    const std::uint64_t stopAt = maxCycles > unlimited - first ? unlimited : first + maxCycles;
    if (goal_ == Goal::Step)
        return stepCore(stopAt, deadline);
    // Slices of one run keep one pairing of cycles and wall time, so the
    // time between two slices is not lost to the simulation.
    bool& anchored = paceAnchored_;
    RunEnd end = RunEnd::Halted;
    for (;;) {
        const RunCompanion::Slice plan =
            companion ? companion->beforeSlice() : RunCompanion::Slice{};
        applyInputs();
        const bool own = plan.ownCycles != 0;
        std::uint64_t until;
        if (own) {
            anchored = false;
            until = m.cycles() + plan.ownCycles;
        } else if (realTime_) {
            const Clock::time_point now = Clock::now();
            if (!anchored)
                pacer_.anchor(now, m.cycles());
            else
                pacer_.dropLag(now, m.cycles(), maxLag);
            anchored = true;
            const Clock::time_point due = pacer_.due(m.cycles());
            if (due > now) {
                // Never ahead of the wall clock: what arrives meanwhile is
                // looked at before the simulation goes on.
                if (deadline && due >= *deadline) {
                    std::this_thread::sleep_until(*deadline);
                    end = RunEnd::TimeSlice;
                    break;
                }
                std::this_thread::sleep_until(due);
                if (companion && companion->interrupted()) {
                    end = RunEnd::Halted;
                    break;
                }
                continue;
            }
            // Behind the clock, it catches up in these same short slices.
            until = m.cycles() + pacedSlice;
        } else {
            anchored = false;
            until = std::min(m.cycles() + fullSpeedSlice, plan.until);
        }
        until = std::min(until, stopAt);
        const std::uint64_t sliceFrom = m.cycles();
        endedByHook_ = false;
        Halt halt = m.run(until);
        if (companion && companion->afterSlice(halt, sliceFrom, own, endedByHook_))
            anchored = false;
        if (halt == Halt::Breakpoint && tempBreak_ && m.regs().pc == *tempBreak_) {
            if (goal_ != Goal::StepOver || m.regs().sp == goalSp_) {
                end = RunEnd::Done;
                break;
            }
            if (!breakpoint(*tempBreak_))
                continue; // a deeper call of the same routine returning
        }
        if (halt != Halt::CycleLimit) {
            end = translate(halt);
            break;
        }
        if (m.cycles() >= stopAt) {
            end = RunEnd::CycleLimit;
            break;
        }
        if (companion && companion->interrupted()) {
            end = RunEnd::Halted;
            break;
        }
        if (deadline && Clock::now() >= *deadline) {
            end = RunEnd::TimeSlice;
            break;
        }
    }
    if (end != RunEnd::TimeSlice && end != RunEnd::CycleLimit) {
        endGoal();
        paceAnchored_ = false;
    }
    return end;
}

} // namespace sim11
