#include "simulation/controller.h"

#include <QTimer>
#include <algorithm>
#include <chrono>

#include "sim11/register_map.h"
#include "simulation/chip_memory.h"
#include "simulation/lab.h"
#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

namespace {

using sim11::RunEnd;
using Goal = sim11::Session::Goal;

// A slice of a run, in wall time: short enough for "Arrêter" and the inputs
// to be seen at once, long enough for the event loop to cost nothing.
constexpr std::chrono::nanoseconds kSlice = std::chrono::milliseconds(10);

sim11::Port portOf(Port port) {
    return static_cast<sim11::Port>(static_cast<int>(port));
}

} // namespace

Controller::Controller(QObject* parent) : Target(parent) {
    qRegisterMetaType<Update>();
    sliceTimer_ = new QTimer(this);
    sliceTimer_->setSingleShot(true);
    connect(sliceTimer_, &QTimer::timeout, this, &Controller::slice);
    // A window stops where a program runs away; the chip alone would go on.
    session_.setStopOnIllegal(true);
    session_.setStopOnCopReset(true);
    session_.setFeed(sim11::Feed::Line);
    session_.onTransmit = [this](std::uint8_t byte) {
        transmitted_.append(static_cast<char>(byte));
    };
}

Controller::~Controller() = default;

void Controller::requestStop() {
    const std::lock_guard lock(machineMutex_);
    session_.requestHalt();
}

void Controller::load(MachineChoice choice, std::shared_ptr<const Program> program,
                      std::shared_ptr<lab::LabBoard> board) {
    running_ = false;
    sliceTimer_->stop();
    choice_ = choice;
    program_ = std::move(program);
    std::string error;
    {
        const std::lock_guard lock(machineMutex_);
        if (board) {
            // The old board lets go of the machine while it is still there.
            if (board_)
                board_->detach();
            board_ = std::move(board);
        }
        session_.clearImage();
        // The parts count time in the session's E cycles: the board's quartz / 4.
        const auto& quartz = board_ ? board_->description().quartzHz : std::optional<double>{};
        session_.setEClock(quartz ? *quartz / 4 : 2'000'000.0);
        session_.configure({choice.chip, choice.mode, choice.board});
        if (board_) {
            board_->setEClock(session_.eClock());
            board_->attach(session_.machine());
            // The switches of the ports pane, as they were on the old machine.
            for (int k = 0; k < portCount; ++k)
                if (portInputsSet_[static_cast<std::size_t>(k)])
                    board_->setPortBase(portOf(static_cast<Port>(k)),
                                        portInputs_[static_cast<std::size_t>(k)]);
        }
    }
    std::vector<sim11::Segment> segments;
    if (program_)
        for (asmhc11::Segment& segment : program_->segments())
            segments.push_back({segment.address, std::move(segment.bytes)});
    const bool loaded = session_.load(segments, error);
    placeStart();
    session_.reset();
    clearRecording();
    if (!loaded)
        publish(false, StopReason::LoadFailed, 0, error);
    else
        publish(false, StopReason::Loaded);
}

// A program that does not fill the reset vector starts where it says, as a
// monitor would start it; the bootstrap mode always runs its loader.
void Controller::placeStart() {
    std::optional<std::uint16_t> start;
    if (program_ && choice_.mode != sim11::Mode::Bootstrap && !program_->setsResetVector())
        start = program_->entry();
    session_.setStart(start);
}

void Controller::reset() {
    running_ = false;
    sliceTimer_->stop();
    session_.reset();
    // Time starts again from zero: what was recorded before is another run's.
    clearRecording();
    publish(false, StopReason::Loaded);
}

void Controller::clearRecording() {
    if (board_)
        if (lab::Recorder* recorder = board_->recorder())
            recorder->clear();
}

void Controller::pinReset() {
    session_.pressReset();
    if (!running_)
        publish(false, StopReason::Loaded);
}

void Controller::step() {
    if (running_)
        return;
    // A step on a WAI waits for its interrupt: in slices, so that the pin
    // the user clicks for it, or "Arrêter", still reaches the session.
    if (session_.machine().waiting())
        startRun(Goal::Step);
    else
        finish(session_.step());
}

void Controller::stepOver() {
    if (!running_)
        startRun(Goal::StepOver);
}

void Controller::stepOut() {
    if (!running_)
        startRun(Goal::StepOut);
}

void Controller::run() {
    if (!running_)
        startRun(Goal::Run);
}

void Controller::runTo(std::uint16_t address) {
    if (!running_)
        startRun(Goal::RunTo, address);
}

void Controller::halt() {
    if (running_)
        finish(RunEnd::Halted);
}

void Controller::setRealTime(bool on) {
    session_.setRealTime(on);
}

void Controller::setDebugState(const DebugState& state) {
    session_.clearBreakpoints();
    for (const std::uint16_t address : state.breakpoints)
        session_.setBreakpoint(address);
    session_.clearWatchpoints();
    for (const auto& [address, access] : state.watchpoints)
        session_.setWatchpoint(address, access);
}

void Controller::setRegisters(sim11::Registers registers) {
    if (running_)
        return;
    session_.regs() = registers;
    publish(false, StopReason::None);
}

// Taken between two slices when a run has just begun: the edit was made on
// the machine as last shown, and is not lost.
void Controller::writeMemory(std::uint16_t address, std::uint8_t value) {
    sim11::Machine& m = session_.machine();
    const auto config = static_cast<std::uint8_t>(
        m.peek(static_cast<std::uint16_t>(m.registerBase() + sim11::reg::CONFIG)));
    // The EEPROM, where the map has it, is written as the chip writes it.
    if (inEeprom(address) && (config & 0x01) && !running_) {
        const std::uint8_t byte[1] = {value};
        const ChipWrite done = programEepromBytes(m, session_.eClock(), address, byte);
        publish(false, StopReason::None, 0, {},
                done.ok ? std::nullopt : std::optional<std::uint16_t>(address),
                done.ok ? std::string() : done.message);
        return;
    }
    const bool taken = session_.poke(address, value);
    if (!running_ || !taken)
        publish(running_, StopReason::None, 0, {},
                taken ? std::nullopt : std::optional<std::uint16_t>(address));
}

void Controller::programEeprom(std::uint16_t address, QByteArray bytes) {
    if (running_) {
        emit chipProgrammed(false, QString::fromUtf8(texts::kChipBusyRunning));
        return;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::span<const std::uint8_t> all(data, static_cast<std::size_t>(bytes.size()));
    const ChipWrite done = programEepromBytes(
        session_.machine(), session_.eClock(), address, all,
        [this](std::size_t done, std::size_t total) { emit chipProgress(done, total); });
    publish(false, StopReason::None);
    emit chipProgrammed(done.ok, QString::fromStdString(done.message));
}

void Controller::programConfig(std::uint8_t value) {
    if (running_) {
        emit chipProgrammed(false, QString::fromUtf8(texts::kChipBusyRunning));
        return;
    }
    const ChipWrite done = programConfigCell(session_.machine(), session_.eClock(), value);
    publish(false, StopReason::None);
    emit chipProgrammed(done.ok, QString::fromStdString(done.message));
}

void Controller::readConfig() {
    const sim11::Machine& m = session_.machine();
    const std::uint8_t inForce =
        m.peek(static_cast<std::uint16_t>(m.registerBase() + sim11::reg::CONFIG));
    emit configRead(true, inForce, m.configCell(), QString());
}

void Controller::setPortInputs(Port port, std::uint8_t levels) {
    // The first switch thrown puts every port under the switches: the
    // others keep the levels their pins had (the ports pane shows those).
    if (board_ &&
        std::find(portInputsSet_.begin(), portInputsSet_.end(), true) == portInputsSet_.end()) {
        const sim11::Snapshot now = session_.snapshot();
        for (std::size_t k = 0; k < portInputs_.size(); ++k) {
            portInputs_[k] = now.pins[k];
            portInputsSet_[k] = true;
            board_->setPortBase(portOf(static_cast<Port>(k)), now.pins[k]);
        }
    }
    portInputs_[static_cast<std::size_t>(port)] = levels;
    portInputsSet_[static_cast<std::size_t>(port)] = true;
    // The switches are the board's: its parts drive the same pins over them.
    if (board_)
        board_->setPortBase(portOf(port), levels);
    else
        session_.setPortInputs(portOf(port), levels);
    if (!running_)
        publish(false, StopReason::None);
}

void Controller::setAnalog(int channel, std::uint8_t value) {
    if (channel < 0 || channel >= 8)
        return;
    analog_[static_cast<std::size_t>(channel)] = value;
    session_.setAnalog(channel, value);
    if (!running_)
        publish(false, StopReason::None);
}

void Controller::setIrq(bool asserted) {
    irq_ = asserted;
    session_.setIrqLine(asserted);
    if (!running_)
        publish(false, StopReason::None);
}

void Controller::setXirq(bool asserted) {
    xirq_ = asserted;
    session_.setXirqLine(asserted);
    if (!running_)
        publish(false, StopReason::None);
}

void Controller::type(QByteArray bytes) {
    session_.sciSend(bytes.toStdString());
}

void Controller::pressKey(int keypad, int key, bool down) {
    if (!board_)
        return;
    board_->pressKey(keypad, key, down);
    if (!running_)
        publish(false, StopReason::None);
    else
        answerDue_ = true;
}

void Controller::pressButton(int button, bool down) {
    if (!board_)
        return;
    board_->pressButton(button, down);
    if (!running_)
        publish(false, StopReason::None);
    else
        answerDue_ = true;
}

void Controller::setPot(int pot, double volts) {
    if (!board_)
        return;
    board_->setPot(pot, volts);
    if (!running_)
        publish(false, StopReason::None);
    else
        answerDue_ = true;
}

void Controller::startRun(Goal goal, std::uint16_t address) {
    goal_ = goal;
    running_ = true;
    session_.begin(goal, address);
    sinceRefresh_.restart();
    publish(true, StopReason::None);
    sliceTimer_->start(0);
}

void Controller::slice() {
    if (!running_)
        return;
    // A stop requested meanwhile ends this call at once, as Halted.
    const RunEnd end = session_.runFor(kSlice);
    if (end != RunEnd::TimeSlice && end != RunEnd::CycleLimit) {
        finish(end);
        return;
    }
    // The slice after a key, a button or a knob the user moved is shown at
    // once: the program's answer does not wait for the next refresh.
    if ((answerDue_ || sinceRefresh_.elapsed() >= 1000 / kRefreshRate) && !windowBehind_) {
        answerDue_ = false;
        sinceRefresh_.restart();
        publish(true, StopReason::None);
    }
    // Yields to the events already posted (a stop, an input), then goes on.
    sliceTimer_->start(0);
}

void Controller::finish(RunEnd end) {
    const bool wasRunning = running_;
    running_ = false;
    sliceTimer_->stop();
    StopReason reason = StopReason::Step;
    std::uint16_t where = 0;
    switch (end) {
    case RunEnd::Done:
        if (!wasRunning || goal_ == Goal::Step)
            reason = StopReason::Step;
        else if (goal_ == Goal::StepOver)
            reason = StopReason::StepOver;
        else if (goal_ == Goal::StepOut)
            reason = StopReason::StepOut;
        else
            reason = StopReason::Cursor;
        break;
    case RunEnd::Breakpoint:
        reason = StopReason::Breakpoint;
        break;
    case RunEnd::Watchpoint:
        reason = StopReason::Watchpoint;
        where = session_.lastWatch().address;
        break;
    case RunEnd::Stop:
        reason = StopReason::StopInstruction;
        break;
    case RunEnd::IllegalOpcode:
        reason = StopReason::IllegalOpcode;
        where = session_.regs().pc;
        break;
    case RunEnd::CopReset:
        reason = StopReason::CopReset;
        break;
    case RunEnd::Halted:
    case RunEnd::CycleLimit:
    case RunEnd::TimeSlice:
    case RunEnd::Transmitted:
        reason = wasRunning ? StopReason::User : StopReason::Step;
        break;
    }
    publish(false, reason, where);
}

void Controller::publish(bool running, StopReason reason, std::uint16_t where, std::string message,
                         std::optional<std::uint16_t> refusedWrite, std::string refusedWhy) {
    auto snapshot = std::make_shared<Snapshot>();
    const sim11::Snapshot s = session_.snapshot();
    const sim11::Machine& m = session_.machine();
    snapshot->chip = m.chip();
    snapshot->mode = m.mode();
    snapshot->regs = s.regs;
    snapshot->cycles = s.cycles;
    snapshot->seconds = s.seconds;
    snapshot->running = running;
    session_.peek(0, snapshot->memory);
    snapshot->registerBase = s.registerBase;
    // Ports B and C are the address and data bus outside the single-chip modes.
    const bool busFree = m.mode() != sim11::Mode::Expanded;
    const std::uint8_t present[portCount] = {0xFF, static_cast<std::uint8_t>(busFree ? 0xFF : 0),
                                             static_cast<std::uint8_t>(busFree ? 0xFF : 0), 0x3F,
                                             0xFF};
    for (int k = 0; k < portCount; ++k)
        snapshot->ports[static_cast<std::size_t>(k)] = {s.pins[static_cast<std::size_t>(k)],
                                                        s.outputs[static_cast<std::size_t>(k)],
                                                        present[k]};
    snapshot->analog = analog_;
    snapshot->irqLine = irq_;
    snapshot->xirqLine = xirq_;

    Update update;
    update.snapshot = std::move(snapshot);
    update.running = running;
    update.reason = reason;
    update.where = where;
    update.message = std::move(message);
    update.refusedWrite = refusedWrite;
    update.refusedWhy = std::move(refusedWhy);
    update.transmitted = transmitted_;
    transmitted_.clear();
    update.eClock = session_.eClock();
    if (board_) {
        update.board = std::make_shared<const lab::BoardView>(board_->view());
        if (lab::Recorder* recorder = board_->recorder())
            update.recorded = std::make_shared<const lab::RecordedChunk>(recorder->take());
    }
    if (running)
        windowBehind_ = true;
    emit updated(update);
}

} // namespace kavrel::simulation
