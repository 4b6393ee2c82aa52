#include "simulation/board_target.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "board/fill_text.h"
#include "board/serial_link.h"
#include "common/hex_text.h"
#include "hc11/instruction_set.h"
#include "sim11/register_map.h"
#include "simulation/chip_memory.h"
#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

namespace {

using board::TalkerError;
using board::TalkerFault;
using board::TalkerRegisters;
using board::TalkerStop;
using board::TalkerStopReason;

// How long a slice of a run waits for the program's stop.
constexpr auto kWait = std::chrono::milliseconds(20);
// Bytes per write of the program's load, for its progress.
constexpr std::size_t kChunk = 64;
// The register block as the talker leaves it.
constexpr std::uint16_t kRegisters = 0x1000;
// Registers whose read changes the chip: PORTCL and SPDR clear the flag a
// program waits for once the status has been read; SCSR and SCDR are the
// talker's line.
constexpr std::uint16_t kNotRead[] = {kRegisters + sim11::reg::PORTCL,
                                      kRegisters + sim11::reg::SPDR, kRegisters + sim11::reg::SCSR,
                                      kRegisters + sim11::reg::SCDR};
// The interrupt vectors, which the boot ROM holds in bootstrap mode.
constexpr std::uint16_t kVectors = 0xFFC0;
constexpr std::uint16_t kConfig = kRegisters + sim11::reg::CONFIG;
// Around the PC where it leaves the program: the disassembly's bytes.
constexpr int kAroundBefore = 24, kAroundAfter = 48;
constexpr int kStackShown = 16;

sim11::Registers toSim(const TalkerRegisters& r) {
    sim11::Registers out;
    out.a = r.a;
    out.b = r.b;
    out.ccr = r.ccr;
    out.x = r.x;
    out.y = r.y;
    out.sp = r.sp;
    out.pc = r.pc;
    return out;
}

TalkerRegisters toTalker(const sim11::Registers& r) {
    TalkerRegisters out;
    out.a = r.a;
    out.b = r.b;
    out.ccr = r.ccr;
    out.x = r.x;
    out.y = r.y;
    out.sp = r.sp;
    out.pc = r.pc;
    return out;
}

// The length of a JSR or BSR in `bytes` (read at the PC), 0 for any other.
unsigned callLength(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty())
        return 0;
    std::uint8_t op = bytes[0];
    hc11::Page page = hc11::Page::P1;
    for (const hc11::Page p : {hc11::Page::P2, hc11::Page::P3, hc11::Page::P4})
        if (op == hc11::prebyteOf(p) && bytes.size() > 1) {
            page = p;
            op = bytes[1];
        }
    const hc11::Instruction* ins = hc11::decode(page, op);
    if (!ins || (ins->mnemonic != "JSR" && ins->mnemonic != "BSR"))
        return 0;
    return ins->length;
}

void append(std::vector<LoadRun>& runs, std::uint16_t address, std::uint8_t byte) {
    if (!runs.empty() &&
        static_cast<std::uint16_t>(runs.back().address + runs.back().bytes.size()) == address &&
        !runs.back().bytes.empty())
        runs.back().bytes.push_back(byte);
    else
        runs.push_back({address, {byte}});
}

} // namespace

BoardController::BoardController(board::TalkerSettings settings,
                                 std::shared_ptr<const Program> program, TransportFactory factory)
    : settings_(std::move(settings)), program_(std::move(program)), factory_(std::move(factory)) {
    qRegisterMetaType<Update>();
    sliceTimer_ = new QTimer(this);
    sliceTimer_->setSingleShot(true);
    connect(sliceTimer_, &QTimer::timeout, this, &BoardController::slice);
}

BoardController::~BoardController() {
    std::unique_ptr<board::Talker> talker;
    {
        const std::lock_guard lock(talkerMutex_);
        talker = std::move(talker_);
    }
    if (talker)
        talker->close();
}

void BoardController::requestStop() {
    stopWanted_.store(true);
}

void BoardController::abandon() {
    stopWanted_.store(true);
    const std::lock_guard lock(talkerMutex_);
    if (talker_)
        talker_->cancel();
}

void BoardController::connectBoard() {
    try {
        planLoad();
        transport_ = factory_ ? factory_() : board::systemTransport();
        {
            auto talker = std::make_unique<board::Talker>(*transport_, settings_);
            const std::lock_guard lock(talkerMutex_);
            talker_ = std::move(talker);
        }
        // "Annuler" between two of the talker's calls.
        const auto cancelled = [this] {
            if (stopWanted_.load())
                throw TalkerError(TalkerFault::Cancelled, texts::kBoardCancelled);
        };
        cancelled();
        talker_->connect(
            [this](std::size_t done, std::size_t total) { emit loadProgress(done, total, false); });
        cancelled();
        loadProgram(
            [this](std::size_t done, std::size_t total) { emit loadProgress(done, total, true); });
    } catch (const std::exception& error) {
        {
            const std::lock_guard lock(talkerMutex_);
            if (talker_)
                talker_->close();
            talker_.reset();
        }
        transport_.reset();
        const auto* told = dynamic_cast<const TalkerError*>(&error);
        emit connected(false, told && told->fault() == TalkerFault::Cancelled
                                  ? QString::fromUtf8(texts::kBoardCancelled)
                                  : QString::fromUtf8(error.what()));
        return;
    }
    stopWanted_.store(false);
    emit connected(true,
                   QString::fromUtf8(texts::kBoardLoaded) + QString::fromStdString(loadNote_));
}

// Where each of the program's bytes goes: RAM and registers written,
// EEPROM programmed. A byte where the talker lives, or CONFIG's, is refused
// before anything is sent; the vectors stay the boot ROM's.
void BoardController::planLoad() {
    const board::TalkerImage& image = board::talkerImage(settings_.family);
    talkerFirst_ = image.first;
    talkerLast_ = image.last;
    std::copy(image.boot.begin(), image.boot.end(), memory_.begin());
    unread_.set();
    ram_.clear();
    eeprom_.clear();
    bool vectors = false;
    for (const asmhc11::Segment& segment : program_->segments())
        for (std::size_t k = 0; k < segment.bytes.size(); ++k) {
            const auto at = static_cast<std::uint16_t>(segment.address + k);
            if (at >= talkerFirst_ && at <= talkerLast_)
                throw TalkerError(
                    TalkerFault::Refused,
                    board::fillText(texts::kInTalkerRam, {hex::word(at), hex::word(talkerFirst_),
                                                          hex::word(talkerLast_)}));
            if (at == kConfig)
                throw TalkerError(TalkerFault::Refused, texts::kConfigInProgram);
            if (at >= kVectors) {
                vectors = true;
                continue;
            }
            memory_[at] = segment.bytes[k];
            unread_.reset(at);
            append(inEeprom(at) ? eeprom_ : ram_, at, segment.bytes[k]);
        }
    loadNote_ = vectors ? texts::kVectorsSkipped : "";
}

void BoardController::loadProgram(const std::function<void(std::size_t, std::size_t)>& progress) {
    std::size_t total = 0;
    for (const std::vector<LoadRun>* runs : {&ram_, &eeprom_})
        for (const LoadRun& run : *runs)
            total += run.bytes.size();
    std::size_t done = 0;
    if (progress)
        progress(done, total);
    for (const LoadRun& run : ram_)
        for (std::size_t k = 0; k < run.bytes.size(); k += kChunk) {
            const std::size_t count = std::min(kChunk, run.bytes.size() - k);
            talker_->write(static_cast<std::uint16_t>(run.address + k),
                           std::span(run.bytes).subspan(k, count));
            done += count;
            if (progress)
                progress(done, total);
        }
    for (const LoadRun& run : eeprom_) {
        const std::size_t before = done;
        talker_->programEeprom(run.address, run.bytes, [&](std::size_t written, std::size_t) {
            if (progress)
                progress(before + written, total);
        });
        done += run.bytes.size();
    }
    TalkerRegisters r = talker_->registers();
    if (const std::optional<std::uint16_t> entry = program_->entry())
        r.pc = *entry;
    talker_->setRegisters(r);
    regs_ = toSim(r);
}

bool BoardController::ready() {
    return talker_ != nullptr && !running_;
}

void BoardController::reset() {
    if (!talker_)
        return;
    if (running_) {
        // Once the program has stopped.
        resetDue_ = true;
        stopWanted_.store(true);
        return;
    }
    try {
        // The program's RAM as it was loaded: the EEPROM keeps its bytes.
        eeprom_.clear();
        loadProgram({});
        if (!readBack())
            return;
        publish(false, StopReason::Loaded, texts::kBoardReset + loadNote_);
    } catch (const std::exception& error) {
        fault(error);
    }
}

void BoardController::refresh() {
    if (!ready())
        return;
    if (readBack())
        publish(false, StopReason::Loaded, texts::kBoardLoaded + loadNote_);
}

void BoardController::step() {
    if (!ready())
        return;
    try {
        const TalkerStop stop = talker_->step();
        if (readBack(stop.registers))
            publish(false,
                    stop.reason == TalkerStopReason::Swi ? StopReason::Swi : StopReason::Step);
    } catch (const std::exception& error) {
        fault(error);
    }
}

void BoardController::stepOver() {
    if (!ready())
        return;
    try {
        const std::uint16_t pc = regs_.pc;
        const unsigned length = callLength(talker_->read(pc, 4));
        if (length == 0) {
            step();
            return;
        }
        goalSp_ = regs_.sp;
        startGo(Goal::StepOver, static_cast<std::uint16_t>(pc + length));
    } catch (const std::exception& error) {
        fault(error);
    }
}

void BoardController::stepOut() {
    if (!ready())
        return;
    try {
        // The return address the call left on the stack.
        const std::vector<std::uint8_t> top =
            talker_->read(static_cast<std::uint16_t>(regs_.sp + 1), 2);
        goalSp_ = regs_.sp;
        startGo(Goal::StepOut, static_cast<std::uint16_t>(top.at(0) << 8 | top.at(1)));
    } catch (const std::exception& error) {
        fault(error);
    }
}

void BoardController::run() {
    if (ready())
        startGo(Goal::Run);
}

void BoardController::runTo(std::uint16_t address) {
    if (ready())
        startGo(Goal::RunTo, address);
}

void BoardController::halt() {
    if (!running_)
        return;
    stopWanted_.store(true);
    interruptSent_ = false;
}

void BoardController::startGo(Goal goal, std::optional<std::uint16_t> extra) {
    goal_ = goal;
    extra_ = extra;
    stopWanted_.store(false);
    interruptSent_ = false;
    go();
}

// The program goes on from its PC with SWIs on the breakpoints and the
// goal's own. One on the PC itself would stop it there at once: the first
// instruction is stepped.
void BoardController::go() {
    std::vector<std::uint16_t> at = breakpoints_;
    if (extra_)
        at.push_back(*extra_);
    try {
        if (std::find(at.begin(), at.end(), regs_.pc) != at.end()) {
            const TalkerStop first = talker_->step();
            regs_ = toSim(first.registers);
            if (first.reason != TalkerStopReason::Breakpoint ||
                std::find(at.begin(), at.end(), regs_.pc) != at.end()) {
                stopped(first);
                return;
            }
        }
        talker_->go(at);
    } catch (const std::exception& error) {
        running_ = false;
        fault(error);
        return;
    }
    running_ = true;
    lastRefresh_ = QDateTime::currentMSecsSinceEpoch();
    publish(true, StopReason::None);
    sliceTimer_->start(0);
}

void BoardController::slice() {
    if (!running_)
        return;
    try {
        if (stopWanted_.load() && !interruptSent_) {
            interruptSent_ = true;
            try {
                talker_->interrupt();
            } catch (const TalkerError& error) {
                if (error.fault() != TalkerFault::Refused)
                    throw;
                stopWanted_.store(false);
                publish(true, StopReason::TargetFault,
                        board::fillText(texts::kStopImpossible, {error.what()}));
            }
        }
        std::vector<std::uint8_t> output;
        const std::optional<TalkerStop> stop = talker_->waitStop(kWait, output);
        transmitted_.append(reinterpret_cast<const char*>(output.data()),
                            static_cast<qsizetype>(output.size()));
        if (stop) {
            stopped(*stop);
            return;
        }
    } catch (const std::exception& error) {
        running_ = false;
        fault(error);
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!windowBehind_ && (now - lastRefresh_ >= 1000 / kRefreshRate || !transmitted_.isEmpty())) {
        lastRefresh_ = now;
        publish(true, StopReason::None);
    }
    sliceTimer_->start(0);
}

void BoardController::stopped(const TalkerStop& stop) {
    running_ = false;
    const sim11::Registers r = toSim(stop.registers);
    StopReason reason = StopReason::Breakpoint;
    const bool atGoal = extra_ && r.pc == *extra_;
    const bool atBreakpoint =
        std::find(breakpoints_.begin(), breakpoints_.end(), r.pc) != breakpoints_.end();
    switch (stop.reason) {
    case TalkerStopReason::Interrupted:
        reason = StopReason::User;
        break;
    case TalkerStopReason::Swi:
        reason = StopReason::Swi;
        break;
    case TalkerStopReason::Breakpoint:
        if (atGoal && goal_ == Goal::RunTo) {
            reason = StopReason::Cursor;
        } else if (atGoal && (goal_ == Goal::StepOver || goal_ == Goal::StepOut)) {
            // A recursive call passing by the same return is not the end.
            const bool back = goal_ == Goal::StepOver ? r.sp >= goalSp_ : r.sp > goalSp_;
            if (!back && !atBreakpoint) {
                regs_ = r;
                go();
                return;
            }
            reason = back ? (goal_ == Goal::StepOver ? StopReason::StepOver : StopReason::StepOut)
                          : StopReason::Breakpoint;
        }
        break;
    }
    stopWanted_.store(false);
    if (resetDue_) {
        resetDue_ = false;
        regs_ = r;
        reset();
        return;
    }
    if (readBack(stop.registers))
        publish(false, reason);
}

void BoardController::setDebugState(const DebugState& state) {
    breakpoints_ = state.breakpoints;
}

void BoardController::setRegisters(sim11::Registers registers) {
    if (!ready())
        return;
    try {
        talker_->setRegisters(toTalker(registers));
        if (readBack())
            publish(false, StopReason::None);
    } catch (const std::exception& error) {
        fault(error);
    }
}

void BoardController::writeMemory(std::uint16_t address, std::uint8_t value) {
    if (!ready())
        return;
    const std::uint8_t byte[1] = {value};
    try {
        if (inEeprom(address))
            talker_->programEeprom(address, byte);
        else
            talker_->write(address, byte);
        readSpan(address, 1);
        publish(false, StopReason::None);
    } catch (const TalkerError& error) {
        if (error.fault() != TalkerFault::Refused && error.fault() != TalkerFault::VerifyFailed) {
            fault(error);
            return;
        }
        try {
            readSpan(address, 1);
        } catch (const std::exception&) {
        }
        publish(false, StopReason::None, {}, address, error.what());
    } catch (const std::exception& error) {
        fault(error);
    }
}

void BoardController::programEeprom(std::uint16_t address, QByteArray bytes) {
    if (!ready()) {
        emit chipProgrammed(false, QString::fromUtf8(texts::kChipBusyRunning));
        return;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::span<const std::uint8_t> all(data, static_cast<std::size_t>(bytes.size()));
    try {
        talker_->programEeprom(address, all, [this](std::size_t done, std::size_t total) {
            emit chipProgress(done, total);
        });
        readSpan(address, all.size());
        publish(false, StopReason::None);
        emit chipProgrammed(
            true, QString::fromStdString(board::fillText(
                      texts::kEepromProgrammed, {std::to_string(all.size()), hex::word(address)})));
    } catch (const std::exception& error) {
        emit chipProgrammed(false, QString::fromUtf8(error.what()));
    }
}

void BoardController::programConfig(std::uint8_t value) {
    if (!ready()) {
        emit chipProgrammed(false, QString::fromUtf8(texts::kChipBusyRunning));
        return;
    }
    try {
        talker_->programConfig(value);
        // The talker read the cell back; the register shows it from the next reset.
        configCell_ = value;
        emit chipProgrammed(true, QString::fromStdString(board::fillText(texts::kConfigProgrammed,
                                                                         {hex::byte(value)})));
    } catch (const std::exception& error) {
        emit chipProgrammed(false, QString::fromUtf8(error.what()));
    }
}

void BoardController::readConfig() {
    if (!ready()) {
        emit configRead(false, 0, 0, QString::fromUtf8(texts::kChipBusyRunning));
        return;
    }
    try {
        // The register is what the chip took at its reset; the cell, which
        // the next reset takes, is what was last programmed here.
        const std::uint8_t inForce = talker_->configInForce();
        emit configRead(true, inForce, configCell_.value_or(inForce), QString());
    } catch (const std::exception& error) {
        emit configRead(false, 0, 0, QString::fromUtf8(error.what()));
    }
}

void BoardController::setShownMemory(std::vector<MemorySpan> spans) {
    shown_ = std::move(spans);
    if (!ready())
        return;
    try {
        for (const MemorySpan& span : shown_)
            readSpan(span.first, span.count);
        publish(false, StopReason::None);
    } catch (const std::exception& error) {
        fault(error);
    }
}

// Reads [first, first + count) but the talker's own RAM and the registers
// a read would change (see kNotRead).
void BoardController::readSpan(std::uint16_t first, std::size_t count) {
    const auto skipped = [this](std::size_t at) {
        return (at >= talkerFirst_ && at <= talkerLast_) ||
               std::find(std::begin(kNotRead), std::end(kNotRead), at) != std::end(kNotRead);
    };
    std::size_t at = first;
    const std::size_t end = std::min<std::size_t>(first + count, 0x10000);
    while (at < end) {
        if (skipped(at)) {
            ++at;
            continue;
        }
        std::size_t stop = at + 1;
        while (stop < end && !skipped(stop))
            ++stop;
        const std::vector<std::uint8_t> bytes =
            talker_->read(static_cast<std::uint16_t>(at), stop - at);
        std::copy(bytes.begin(), bytes.end(), memory_.begin() + static_cast<std::ptrdiff_t>(at));
        for (std::size_t k = at; k < stop; ++k)
            unread_.reset(k);
        at = stop;
    }
}

bool BoardController::readBack(std::optional<TalkerRegisters> registers) {
    try {
        regs_ = toSim(registers ? *registers : talker_->registers());
        readSpan(kRegisters, 64);
        for (const MemorySpan& span : shown_)
            readSpan(span.first, span.count);
        readSpan(static_cast<std::uint16_t>(regs_.sp + 1), kStackShown);
        // Outside the program's lines the window disassembles around the PC.
        if (!program_->lineAt(regs_.pc).valid())
            readSpan(static_cast<std::uint16_t>(regs_.pc - kAroundBefore),
                     kAroundBefore + kAroundAfter);
        return true;
    } catch (const std::exception& error) {
        fault(error);
        return false;
    }
}

void BoardController::fault(const std::exception& error) {
    running_ = false;
    sliceTimer_->stop();
    publish(false, StopReason::TargetFault, error.what());
}

void BoardController::publish(bool running, StopReason reason, std::string message,
                              std::optional<std::uint16_t> refusedWrite, std::string refusedWhy) {
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->chip = settings_.family == board::Family::A ? sim11::Chip::A1 : sim11::Chip::E9;
    snapshot->mode = sim11::Mode::Bootstrap;
    snapshot->regs = regs_;
    snapshot->running = running;
    snapshot->memory = memory_;
    snapshot->unread = std::make_shared<const std::bitset<0x10000>>(unread_);
    snapshot->registerBase = kRegisters;
    const auto reg = [this](unsigned offset) { return memory_[kRegisters + offset]; };
    const std::uint8_t pactl = reg(sim11::reg::PACTL);
    // PA4-PA6 drive always; PA7 by DDRA7, PA3 by DDRA3 on the E parts.
    const auto outputsA = static_cast<std::uint8_t>(
        0x70 | (pactl & 0x80) | (settings_.family == board::Family::E ? (pactl & 0x08) : 0x08));
    snapshot->ports[0] = {reg(sim11::reg::PORTA), outputsA, 0xFF};
    snapshot->ports[1] = {reg(sim11::reg::PORTB), 0xFF, 0xFF};
    snapshot->ports[2] = {reg(sim11::reg::PORTC), reg(sim11::reg::DDRC), 0xFF};
    snapshot->ports[3] = {static_cast<std::uint8_t>(reg(sim11::reg::PORTD) & 0x3F),
                          static_cast<std::uint8_t>(reg(sim11::reg::DDRD) & 0x3F), 0x3F};
    snapshot->ports[4] = {reg(sim11::reg::PORTE), 0, 0xFF};

    Update update;
    update.snapshot = std::move(snapshot);
    update.running = running;
    update.reason = reason;
    update.message = std::move(message);
    update.refusedWrite = refusedWrite;
    update.refusedWhy = std::move(refusedWhy);
    update.transmitted = transmitted_;
    transmitted_.clear();
    update.eClock = settings_.eClockHz;
    if (running)
        windowBehind_ = true;
    emit updated(update);
}

} // namespace kavrel::simulation
