#include "board/talker.h"

#include "board/board_texts.h"
#include "board/bootstrap.h"
#include "board/fill_text.h"
#include "board/talker_built.h"
#include "board/talker_texts.h"
#include "common/hex_text.h"
#include "hc11/flow.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>

namespace kavrel::board {

using namespace std::chrono_literals;

namespace {

// The talker's commands (data/talker/talker.asm): one byte, six of arguments.
constexpr std::uint8_t kRead = 'R', kWrite = 'W', kEeprom = 'E', kGo = 'G';
constexpr std::size_t kArguments = 6;
// Its report when the program stops: mark, reason, SP, check.
constexpr std::uint8_t kMark = 0xA5, kReasonSwi = 'S', kReasonInterrupt = 'I';
constexpr std::size_t kReportBytes = 5;
constexpr std::uint8_t kSwiOpcode = 0x3F;

// The chip's map.
constexpr std::uint16_t kRegisters = 0x1000, kRegistersEnd = 0x103F;
constexpr std::uint16_t kEepromFirst = 0xB600, kEepromLast = 0xB7FF;
constexpr std::uint16_t kBprot = 0x1035, kConfig = 0x103F;
constexpr std::uint16_t kSwiSlot = 0x00F4;
// BAUD to SCDR, then HPRIO and INIT: writing them cuts the line or moves the map.
constexpr std::uint16_t kLineFirst = 0x102B, kLineLast = 0x102F;
constexpr std::uint16_t kHprio = 0x103C, kInit = 0x103D;
// PPROG's bits.
constexpr std::uint8_t kByte = 0x10, kErase = 0x04, kLatch = 0x02;

// Beyond the wire's time, what an answer may take (USB adapters, a loaded host).
constexpr Duration kAnswerMargin = 250ms;
constexpr Duration kCancelSlice = 20ms;
// A step's instruction comes back within microseconds; this leaves a WAI
// or a slow interrupt handler the time to come back too.
constexpr Duration kStepWait = 2s;
// How long a program may take to take the byte of "Arrêter".
constexpr Duration kInterruptWait = 300ms;
// What a program says during steps, kept for the next waitStop().
constexpr std::size_t kHeldOutputLimit = 64 * 1024;
// The delay loop of the talker's EEPROM command: DEX, BNE.
constexpr unsigned kDelayLoopCycles = 6;

std::string hexWord(std::uint16_t value) {
    return hex::word(value);
}
std::string hexByte(std::uint8_t value) {
    return hex::byte(value);
}

std::string megahertz(double eClockHz) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", eClockHz * 4 / 1e6);
    std::string out = text;
    std::replace(out.begin(), out.end(), '.', ',');
    return out;
}

bool overlaps(std::uint32_t from, std::uint32_t to, std::uint32_t first, std::uint32_t last) {
    return from <= last && to >= first;
}

const detail::TalkerBuilt& built(Family family) {
    return family == Family::A ? detail::talkerBuiltA : detail::talkerBuiltE;
}

} // namespace

// The BAUD value for `baud` at `eClockHz` (prescaler 1, 3, 4 or 13, divider 2^0 to
// 2^7), within 3 %; nullopt when none comes that close.
std::optional<std::uint8_t> talkerBaudRegister(double eClockHz, unsigned baud) {
    constexpr unsigned prescalers[] = {1, 3, 4, 13};
    std::optional<std::uint8_t> best;
    double bestError = 0.03;
    for (unsigned scp = 0; scp < 4; ++scp) {
        for (unsigned scr = 0; scr < 8; ++scr) {
            const double rate = eClockHz / (16.0 * prescalers[scp] * (1u << scr));
            const double error = std::abs(rate / baud - 1.0);
            if (error <= bestError) {
                bestError = error;
                best = static_cast<std::uint8_t>(scp << 4 | scr);
            }
        }
    }
    return best;
}

// The time EPGM must stay on: 10 ms at 2 MHz and above, 20 ms below.
Duration eepromProgramTime(double eClockHz) {
    return eClockHz >= 2'000'000.0 ? 10ms : 20ms;
}

const TalkerImage& talkerImage(Family family) {
    static const TalkerImage images[2] = {
        {detail::talkerBuiltA.bytes, detail::talkerBuiltA.first, detail::talkerBuiltA.last},
        {detail::talkerBuiltE.bytes, detail::talkerBuiltE.first, detail::talkerBuiltE.last},
    };
    return images[family == Family::A ? 0 : 1];
}

struct Talker::Impl {
    struct Placed {
        std::uint16_t address;
        std::uint8_t original;
    };

    const detail::TalkerBuilt& image;
    bool open = false;
    bool connected = false;
    bool lost = false; // the talker may be in the middle of a command
    bool running = false;
    std::uint16_t savedSp = 0;
    Duration character{};
    std::vector<Placed> placed;
    std::deque<std::uint8_t> heard;       // from the line while the program runs
    std::vector<std::uint8_t> heldOutput; // the program's, taken while waiting for a stop
    std::optional<TalkerStop> pendingStop;

    Transport& port;
    const TalkerSettings& settings;
    const std::atomic<bool>& cancelled;

    Impl(Transport& port, const TalkerSettings& settings, const std::atomic<bool>& cancelled)
        : image(built(settings.family)), port(port), settings(settings), cancelled(cancelled) {}

    class Line;
    Line line();
    void requireStopped() const;

    void connect(const std::function<void(std::size_t, std::size_t)>& progress);
    void close();
    std::vector<std::uint8_t> read(std::uint16_t address, std::size_t count);
    void write(std::uint16_t address, std::span<const std::uint8_t> bytes);
    void programEeprom(std::uint16_t address, std::span<const std::uint8_t> bytes,
                       const std::function<void(std::size_t, std::size_t)>& progress = {});
    void programConfig(std::uint8_t value);
    std::uint8_t configInForce();
    TalkerRegisters registers();
    void setRegisters(const TalkerRegisters& registers);
    void go(std::span<const std::uint16_t> breakpoints);
    void resume(std::span<const std::uint16_t> breakpoints);
    void removeBreakpoints();
    std::optional<TalkerStop> waitStop(Duration timeout, std::vector<std::uint8_t>& output);
    std::optional<TalkerStop> listen(Duration timeout, std::vector<std::uint8_t>& output);
    TalkerStop stopped(std::uint8_t reason, std::uint16_t sp);
    void interrupt();
    TalkerStop step();
};

namespace {

// One exchange of the protocol, its sum carried along.
class Exchange {
public:
    void add(std::uint8_t byte) { sum_ = static_cast<std::uint8_t>(sum_ + byte); }
    void add(std::span<const std::uint8_t> bytes) {
        for (std::uint8_t b : bytes)
            add(b);
    }
    bool balanced() const { return sum_ == 0; }

private:
    std::uint8_t sum_ = 0;
};

} // namespace

Talker::Talker(Transport& transport, TalkerSettings settings)
    : transport_(transport), settings_(std::move(settings)),
      impl_(std::make_unique<Impl>(transport_, settings_, cancelled_)) {
    impl_->character = Duration(10'000'000'000LL / std::max(settings_.baud, 1u));
}

Talker::~Talker() {
    close();
}

bool Talker::connected() const {
    return impl_->connected;
}

namespace {

[[noreturn]] void fail(TalkerFault fault, const std::string& message) {
    throw TalkerError(fault, message);
}

} // namespace

// --- the line ----------------------------------------------------------------

class Talker::Impl::Line {
public:
    explicit Line(Talker::Impl& impl)
        : port_(impl.port), settings_(impl.settings), impl_(impl), cancelled_(impl.cancelled) {}

    [[noreturn]] void portFailed(const PortError& error) {
        impl_.lost = true;
        if (error.fault() == PortFault::Vanished)
            fail(TalkerFault::Vanished, fillText(kTalkerPortVanished, {settings_.port}));
        fail(TalkerFault::PortFailed, portFaultMessage(error, settings_.port, settings_.baud));
    }

    [[noreturn]] void silent() {
        impl_.lost = true;
        fail(TalkerFault::StoppedAnswering,
             fillText(kTalkerStoppedAnswering,
                      {hexWord(impl_.image.first), hexWord(impl_.image.last)}));
    }

    void checkCancel(bool midExchange) {
        if (cancelled_.load()) {
            if (midExchange)
                impl_.lost = true;
            fail(TalkerFault::Cancelled, kTalkerCancelled);
        }
    }

    void write(std::span<const std::uint8_t> bytes) {
        try {
            port_.write(bytes);
        } catch (const PortError& error) {
            portFailed(error);
        }
    }

    // What the line gives within `timeout` (at most into.size()).
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) {
        try {
            return port_.read(into, timeout);
        } catch (const PortError& error) {
            portFailed(error);
        }
    }

    Duration now() const { return port_.now(); }

    // Keeps quiet for `time`; what comes meanwhile is dropped.
    void settle(Duration time) {
        const Duration until = port_.now() + time;
        std::array<std::uint8_t, 64> buffer{};
        for (Duration now = port_.now(); now < until; now = port_.now())
            read(buffer, until - now);
    }

    // Whatever came unasked (a byte late from a fault) is not an answer.
    void drain() {
        std::array<std::uint8_t, 256> buffer{};
        for (int k = 0; k < 64 && read(buffer, Duration::zero()) > 0; ++k) {
        }
    }

    // Exactly `count` bytes before `deadline`; fewer end the exchange.
    void receive(std::span<std::uint8_t> into, Duration deadline, bool firstContact) {
        std::size_t got = 0;
        while (got < into.size()) {
            checkCancel(true);
            const Duration now = port_.now();
            if (now >= deadline) {
                if (firstContact && got == 0)
                    fail(TalkerFault::NoAnswer,
                         fillText(kTalkerNoAnswer,
                                  {std::to_string(settings_.baud), megahertz(settings_.eClockHz)}));
                if (got == 0)
                    silent();
                impl_.lost = true;
                fail(TalkerFault::BadReply, kTalkerBadReply);
            }
            got += read(into.subspan(got), std::min(deadline - now, kCancelSlice));
        }
    }

    // A command, its data, and its answer: `reply` bytes then the check.
    // `chipTime`: what the chip spends beyond the wire (the EEPROM's delay).
    std::vector<std::uint8_t> exchange(std::uint8_t command,
                                       const std::array<std::uint8_t, kArguments>& arguments,
                                       std::span<const std::uint8_t> data, std::size_t reply,
                                       Duration chipTime = {}, bool firstContact = false) {
        if (impl_.lost)
            fail(TalkerFault::StoppedAnswering, kTalkerLost);
        checkCancel(false);
        drain();
        std::vector<std::uint8_t> out;
        out.reserve(1 + kArguments + data.size());
        out.push_back(command);
        out.insert(out.end(), arguments.begin(), arguments.end());
        out.insert(out.end(), data.begin(), data.end());
        Exchange sum;
        sum.add(out);
        const Duration start = port_.now();
        write(out);
        const auto wire = static_cast<std::int64_t>(out.size() + reply + 1);
        // The wire's time with a tenth to spare, what the chip does, the margin.
        const Duration deadline =
            start + impl_.character * wire * 11 / 10 + chipTime + kAnswerMargin;
        std::vector<std::uint8_t> answer(reply + 1);
        receive(answer, deadline, firstContact);
        sum.add(answer);
        if (!sum.balanced())
            fail(TalkerFault::BadReply, kTalkerBadReply);
        answer.pop_back();
        return answer;
    }

    std::vector<std::uint8_t> readBlock(std::uint16_t address, std::size_t count,
                                        bool firstContact = false) {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(count);
        while (bytes.size() < count) {
            const std::size_t n = std::min<std::size_t>(256, count - bytes.size());
            const auto at = static_cast<std::uint16_t>(address + bytes.size());
            const std::vector<std::uint8_t> part =
                exchange(kRead,
                         {static_cast<std::uint8_t>(at >> 8), static_cast<std::uint8_t>(at),
                          static_cast<std::uint8_t>(n), 0, 0, 0},
                         {}, n, {}, firstContact);
            bytes.insert(bytes.end(), part.begin(), part.end());
        }
        return bytes;
    }

    void writeBlock(std::uint16_t address, std::span<const std::uint8_t> bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const std::size_t n = std::min<std::size_t>(256, bytes.size() - done);
            const auto at = static_cast<std::uint16_t>(address + done);
            exchange(kWrite,
                     {static_cast<std::uint8_t>(at >> 8), static_cast<std::uint8_t>(at),
                      static_cast<std::uint8_t>(n), 0, 0, 0},
                     bytes.subspan(done, n), 0);
            done += n;
        }
    }

    // PPROG = mode, the byte written, EPGM for the programming time, PPROG = 0.
    void eepromStep(std::uint16_t address, std::uint8_t data, std::uint8_t mode) {
        const Duration time = eepromProgramTime(settings_.eClockHz);
        const double cycles =
            std::chrono::duration<double>(time).count() * settings_.eClockHz / kDelayLoopCycles;
        const auto count = static_cast<std::uint16_t>(std::min(65535.0, std::ceil(cycles) + 1));
        exchange(kEeprom,
                 {static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), data,
                  mode, static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)},
                 {}, 0, time * 2);
    }

private:
    Transport& port_;
    const TalkerSettings& settings_;
    Talker::Impl& impl_;
    const std::atomic<bool>& cancelled_;
};

// --- the session ---------------------------------------------------------------

Talker::Impl::Line Talker::Impl::line() {
    return Line(*this);
}

void Talker::Impl::connect(const std::function<void(std::size_t, std::size_t)>& progress) {
    if (cancelled.load())
        fail(TalkerFault::Cancelled, kTalkerCancelled);
    if (connected)
        return;
    const std::optional<std::uint8_t> baudRegister =
        talkerBaudRegister(settings.eClockHz, settings.baud);
    if (!baudRegister)
        fail(TalkerFault::Refused,
             fillText(kTalkerSpeedImpossible,
                      {megahertz(settings.eClockHz), std::to_string(settings.baud)}));
    std::vector<std::uint8_t> bytes = image.bytes;
    bytes[image.baudByte] = *baudRegister;

    DownloadSettings load;
    load.port = settings.port;
    load.baud = settings.loadBaud;
    load.family = settings.family;
    load.keepOpen = true;
    load.resetByLines = settings.resetByLines;
    BootstrapDownload download(std::move(bytes), load);
    download.onProgress = [&](std::size_t done, std::size_t total) {
        if (cancelled.load())
            download.cancel();
        if (progress)
            progress(done, total);
    };
    const DownloadResult result = download.run(port);
    if (!result.ok()) {
        switch (result.outcome) {
        case Outcome::Cancelled:
            fail(TalkerFault::Cancelled, kTalkerCancelled);
        case Outcome::Vanished:
            fail(TalkerFault::Vanished, result.message);
        case Outcome::PortFailed:
            fail(TalkerFault::PortFailed, result.message);
        default:
            fail(TalkerFault::LoadFailed,
                 fillText(kTalkerLoadFailed, {settings.port, result.message}));
        }
    }
    open = true;
    lost = false;
    Line line = this->line();
    try {
        // The talker changes speed once the loader's last echo has left: a
        // byte sent before would arrive garbled.
        line.settle(Duration(20'000'000'000LL / std::max(settings.loadBaud, 1u)) + 1ms);
        if (settings.baud != settings.loadBaud) {
            try {
                port.setBaud(settings.baud);
            } catch (const PortError& error) {
                line.portFailed(error);
            }
        }
        // The first exchange: where the program's registers are.
        const std::vector<std::uint8_t> sp = line.readBlock(image.savedSp, 2, true);
        savedSp = static_cast<std::uint16_t>(sp[0] << 8 | sp[1]);
        const std::uint16_t ramEnd = static_cast<std::uint16_t>(ramBytes(settings.family) - 1);
        if (savedSp + 9 > ramEnd)
            fail(TalkerFault::BadReply, kTalkerNotTalker);
    } catch (...) {
        port.close();
        open = false;
        throw;
    }
    connected = true;
    running = false;
}

void Talker::Impl::close() {
    if (!open)
        return;
    if (connected && !lost) {
        // A program left running keeps its breakpoints unless it stops.
        try {
            if (running && !pendingStop)
                interrupt();
            std::vector<std::uint8_t> ignored;
            if (running)
                waitStop(Duration::zero(), ignored);
        } catch (const TalkerError&) {
        }
    }
    port.close();
    open = false;
    connected = false;
    running = false;
}

namespace {

bool inRam(std::uint32_t address, Family family) {
    return address < ramBytes(family);
}

} // namespace

void Talker::Impl::requireStopped() const {
    if (!connected)
        fail(TalkerFault::Refused, kTalkerNotConnected);
    if (running)
        fail(TalkerFault::Refused, kTalkerRunning);
}

std::vector<std::uint8_t> Talker::Impl::read(std::uint16_t address, std::size_t count) {
    requireStopped();
    if (count == 0)
        return {};
    const std::uint32_t last = std::min<std::uint32_t>(0xFFFF, address + count - 1);
    if (overlaps(address, last, image.first, image.last))
        fail(TalkerFault::Refused,
             fillText(kTalkerOwnRam, {hexWord(image.first), hexWord(image.last)}));
    return line().readBlock(address, last - address + 1);
}

void Talker::Impl::write(std::uint16_t address, std::span<const std::uint8_t> bytes) {
    requireStopped();
    if (bytes.empty())
        return;
    const std::uint32_t last = std::min<std::uint32_t>(0xFFFF, address + bytes.size() - 1);
    bytes = bytes.first(last - address + 1);
    // Refused as a whole before anything is written.
    if (overlaps(address, last, image.first, image.last))
        fail(TalkerFault::Refused,
             fillText(kTalkerOwnRam, {hexWord(image.first), hexWord(image.last)}));
    for (std::uint32_t a = address; a <= last; ++a) {
        if (a >= kSwiSlot && a < kSwiSlot + 3u)
            fail(TalkerFault::Refused, fillText(kTalkerSwiSlot, {hexWord(kSwiSlot)}));
        if ((a >= kLineFirst && a <= kLineLast) || a == kHprio || a == kInit)
            fail(TalkerFault::Refused,
                 fillText(kTalkerLineRegister, {hexWord(static_cast<std::uint16_t>(a))}));
    }
    Line line = this->line();
    // Runs of one kind of memory, each written its own way.
    std::uint32_t from = address;
    while (from <= last) {
        const auto kindOf = [&](std::uint32_t a) {
            if (a >= kEepromFirst && a <= kEepromLast)
                return 0;
            if (a >= kRegisters && a <= kRegistersEnd)
                return 1;
            if (inRam(a, settings.family))
                return 2;
            return 3;
        };
        const int kind = kindOf(from);
        std::uint32_t to = from;
        while (to < last && kindOf(to + 1) == kind)
            ++to;
        const auto part = bytes.subspan(from - address, to - from + 1);
        const auto at = static_cast<std::uint16_t>(from);
        if (kind == 0) {
            programEeprom(at, part);
        } else {
            line.writeBlock(at, part);
            if (kind != 1) {
                const std::vector<std::uint8_t> back = line.readBlock(at, part.size());
                for (std::size_t k = 0; k < part.size(); ++k) {
                    if (back[k] == part[k])
                        continue;
                    const auto where = static_cast<std::uint16_t>(at + k);
                    if (kind == 3)
                        fail(TalkerFault::Refused, fillText(kTalkerNoMemory, {hexWord(where)}));
                    fail(TalkerFault::VerifyFailed,
                         fillText(kTalkerVerifyFailed,
                                  {hexWord(where), hexByte(back[k]), hexByte(part[k])}));
                }
            }
        }
        from = to + 1;
    }
}

void Talker::Impl::programEeprom(std::uint16_t address, std::span<const std::uint8_t> bytes,
                                 const std::function<void(std::size_t, std::size_t)>& progress) {
    requireStopped();
    if (bytes.empty())
        return;
    const std::uint32_t last = address + bytes.size() - 1;
    if (address < kEepromFirst || last > kEepromLast)
        fail(TalkerFault::Refused,
             fillText(kTalkerNotEeprom,
                      {hexWord(address), hexWord(static_cast<std::uint16_t>(
                                             std::min<std::uint32_t>(last, 0xFFFF)))}));
    Line line = this->line();
    // Protection off: possible at any time in bootstrap mode.
    const std::uint8_t off = 0;
    line.writeBlock(kBprot, {&off, 1});
    const std::vector<std::uint8_t> before = line.readBlock(address, bytes.size());
    if (progress)
        progress(0, bytes.size());
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        const auto at = static_cast<std::uint16_t>(address + k);
        const std::uint8_t want = bytes[k];
        if (before[k] != want) {
            // Programming only clears bits: a one to bring back needs an erase.
            if ((before[k] & want) != want)
                line.eepromStep(at, 0xFF, kByte | kErase | kLatch);
            if (want != 0xFF)
                line.eepromStep(at, want, kLatch);
            const std::uint8_t back = line.readBlock(at, 1)[0];
            if (back != want)
                fail(TalkerFault::VerifyFailed,
                     fillText(kTalkerEepromVerify, {hexWord(at), hexByte(back), hexByte(want)}));
        }
        if (progress)
            progress(k + 1, bytes.size());
    }
}

void Talker::Impl::programConfig(std::uint8_t value) {
    requireStopped();
    Line line = this->line();
    const std::uint8_t off = 0;
    line.writeBlock(kBprot, {&off, 1});
    if (settings.family == Family::A) {
        // The A parts erase CONFIG only with the whole array: what the array
        // held is programmed again afterwards.
        const std::vector<std::uint8_t> array =
            line.readBlock(kEepromFirst, kEepromLast - kEepromFirst + 1);
        line.eepromStep(kConfig, 0xFF, kErase | kLatch);
        if (value != 0xFF)
            line.eepromStep(kConfig, value, kLatch);
        for (std::size_t k = 0; k < array.size(); ++k) {
            const auto at = static_cast<std::uint16_t>(kEepromFirst + k);
            if (array[k] != 0xFF)
                line.eepromStep(at, array[k], kLatch);
        }
        const std::vector<std::uint8_t> back =
            line.readBlock(kEepromFirst, kEepromLast - kEepromFirst + 1);
        for (std::size_t k = 0; k < array.size(); ++k)
            if (back[k] != array[k])
                fail(TalkerFault::VerifyFailed,
                     fillText(kTalkerEepromVerify,
                              {hexWord(static_cast<std::uint16_t>(kEepromFirst + k)),
                               hexByte(back[k]), hexByte(array[k])}));
        return;
    }
    line.eepromStep(kConfig, 0xFF, kByte | kErase | kLatch);
    if (value != 0xFF)
        line.eepromStep(kConfig, value, kLatch);
}

std::uint8_t Talker::Impl::configInForce() {
    requireStopped();
    return line().readBlock(kConfig, 1)[0];
}

TalkerRegisters Talker::Impl::registers() {
    requireStopped();
    const std::vector<std::uint8_t> f =
        line().readBlock(static_cast<std::uint16_t>(savedSp + 1), 9);
    TalkerRegisters r;
    r.ccr = f[0];
    r.b = f[1];
    r.a = f[2];
    r.x = static_cast<std::uint16_t>(f[3] << 8 | f[4]);
    r.y = static_cast<std::uint16_t>(f[5] << 8 | f[6]);
    r.pc = static_cast<std::uint16_t>(f[7] << 8 | f[8]);
    r.sp = static_cast<std::uint16_t>(savedSp + 9);
    return r;
}

void Talker::Impl::setRegisters(const TalkerRegisters& r) {
    requireStopped();
    const std::array<std::uint8_t, 9> frame = {
        r.ccr,
        r.b,
        r.a,
        static_cast<std::uint8_t>(r.x >> 8),
        static_cast<std::uint8_t>(r.x),
        static_cast<std::uint8_t>(r.y >> 8),
        static_cast<std::uint8_t>(r.y),
        static_cast<std::uint8_t>(r.pc >> 8),
        static_cast<std::uint8_t>(r.pc),
    };
    const auto saved = static_cast<std::uint16_t>(r.sp - 9);
    Line line = this->line();
    if (saved == savedSp) {
        line.writeBlock(static_cast<std::uint16_t>(saved + 1), frame);
        return;
    }
    // The frame in RAM, away from the talker; the talker keeps its own stack.
    if (r.sp < 9 || !inRam(r.sp, settings.family) ||
        overlaps(saved + 1u, r.sp, image.first, image.last))
        fail(TalkerFault::Refused, fillText(kTalkerStackOutside, {hexWord(r.sp)}));
    line.writeBlock(static_cast<std::uint16_t>(saved + 1), frame);
    const std::array<std::uint8_t, 2> sp = {static_cast<std::uint8_t>(saved >> 8),
                                            static_cast<std::uint8_t>(saved)};
    line.writeBlock(image.savedSp, sp);
    savedSp = saved;
}

// --- running -------------------------------------------------------------------

namespace {

bool isEeprom(std::uint16_t address) {
    return address >= kEepromFirst && address <= kEepromLast;
}

} // namespace

void Talker::Impl::go(std::span<const std::uint16_t> breakpoints) {
    requireStopped();
    std::vector<std::uint16_t> wanted(breakpoints.begin(), breakpoints.end());
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    const TalkerRegisters r = registers();
    if (std::find(wanted.begin(), wanted.end(), r.pc) != wanted.end()) {
        // Its own breakpoint would stop it where it is: one step off it first.
        TalkerStop first = step();
        if (first.reason != TalkerStopReason::Breakpoint ||
            std::find(wanted.begin(), wanted.end(), first.registers.pc) != wanted.end()) {
            pendingStop = first;
            running = true;
            return;
        }
    }
    resume(wanted);
}

void Talker::Impl::resume(std::span<const std::uint16_t> breakpoints) {
    Line line = this->line();
    try {
        for (const std::uint16_t at : breakpoints) {
            if (at >= image.first && at <= image.last)
                fail(TalkerFault::Refused, fillText(kTalkerBreakpointOwn, {hexWord(at)}));
            if ((at >= kSwiSlot && at < kSwiSlot + 3) || (at >= kRegisters && at <= kRegistersEnd))
                fail(TalkerFault::Refused, fillText(kTalkerBreakpointRom, {hexWord(at)}));
            const std::uint8_t original = line.readBlock(at, 1)[0];
            const std::uint8_t swi = kSwiOpcode;
            if (isEeprom(at)) {
                placed.push_back({at, original});
                programEeprom(at, {&swi, 1});
                continue;
            }
            line.writeBlock(at, {&swi, 1});
            if (line.readBlock(at, 1)[0] != kSwiOpcode) {
                // Nothing took it; a part-written RAM byte is put back anyway.
                line.writeBlock(at, {&original, 1});
                fail(TalkerFault::Refused, fillText(kTalkerBreakpointRom, {hexWord(at)}));
            }
            placed.push_back({at, original});
        }
        line.exchange(kGo, {}, {}, 0);
    } catch (const TalkerError&) {
        removeBreakpoints();
        throw;
    }
    running = true;
    heard.clear();
}

void Talker::Impl::removeBreakpoints() {
    Line line = this->line();
    if (lost)
        return;
    // Each put back; the first fault is told once all were tried.
    std::optional<TalkerError> first;
    std::vector<Impl::Placed> left;
    for (const Impl::Placed& p : placed) {
        try {
            if (isEeprom(p.address)) {
                const bool wasRunning = running;
                running = false;
                programEeprom(p.address, {&p.original, 1});
                running = wasRunning;
            } else {
                line.writeBlock(p.address, {&p.original, 1});
            }
        } catch (const TalkerError& error) {
            left.push_back(p);
            if (!first)
                first = error;
            if (lost)
                break;
        }
    }
    placed = left;
    if (first)
        throw *first;
}

std::optional<TalkerStop> Talker::Impl::waitStop(Duration timeout,
                                                 std::vector<std::uint8_t>& output) {
    if (!connected)
        fail(TalkerFault::Refused, kTalkerNotConnected);
    if (!running)
        fail(TalkerFault::Refused, kTalkerNotRunning);
    output.insert(output.end(), heldOutput.begin(), heldOutput.end());
    heldOutput.clear();
    if (pendingStop) {
        const TalkerStop stop = *pendingStop;
        pendingStop.reset();
        running = false;
        return stop;
    }
    std::optional<TalkerStop> stop = listen(timeout, output);
    if (stop)
        running = false;
    return stop;
}

// Reads the line until a stop report or `timeout`; the rest is the program's.
std::optional<TalkerStop> Talker::Impl::listen(Duration timeout,
                                               std::vector<std::uint8_t>& output) {
    Line line = this->line();
    const Duration deadline = line.now() + timeout;
    for (;;) {
        // What is known not to start a report goes to the program's output.
        while (!heard.empty()) {
            if (heard.front() != kMark) {
                output.push_back(heard.front());
                heard.pop_front();
                continue;
            }
            if (heard.size() < kReportBytes)
                break;
            Exchange sum;
            for (std::size_t k = 0; k < kReportBytes; ++k)
                sum.add(heard[k]);
            const std::uint8_t reason = heard[1];
            const auto sp = static_cast<std::uint16_t>(heard[2] << 8 | heard[3]);
            // A stopped program's registers lie in RAM: anything else is output.
            const bool inRamToo = sp + 9u < ramBytes(settings.family);
            if (sum.balanced() && inRamToo &&
                (reason == kReasonSwi || reason == kReasonInterrupt)) {
                heard.erase(heard.begin(), heard.begin() + kReportBytes);
                output.insert(output.end(), heard.begin(), heard.end());
                heard.clear();
                return stopped(reason, sp);
            }
            output.push_back(heard.front());
            heard.pop_front();
        }
        line.checkCancel(false);
        const Duration now = line.now();
        if (now >= deadline && !(heard.size() > 0 && timeout > Duration::zero() &&
                                 now < deadline + character * kReportBytes * 2))
            return std::nullopt;
        std::array<std::uint8_t, 256> buffer{};
        const Duration wait = now >= deadline ? character : std::min(deadline - now, kCancelSlice);
        const std::size_t n = line.read(buffer, wait);
        heard.insert(heard.end(), buffer.begin(), buffer.begin() + n);
        if (n == 0 && now >= deadline)
            return std::nullopt;
    }
}

TalkerStop Talker::Impl::stopped(std::uint8_t reason, std::uint16_t sp) {
    savedSp = sp;
    running = false;
    TalkerStop stop;
    stop.reason =
        reason == kReasonInterrupt ? TalkerStopReason::Interrupted : TalkerStopReason::Swi;
    stop.registers = registers();
    if (reason == kReasonSwi) {
        const auto at = static_cast<std::uint16_t>(stop.registers.pc - 1);
        const bool ours = std::any_of(placed.begin(), placed.end(),
                                      [&](const Impl::Placed& p) { return p.address == at; });
        if (ours) {
            // Back onto the instruction the SWI stood for.
            stop.reason = TalkerStopReason::Breakpoint;
            stop.registers.pc = at;
            const std::array<std::uint8_t, 2> pc = {static_cast<std::uint8_t>(at >> 8),
                                                    static_cast<std::uint8_t>(at)};
            line().writeBlock(static_cast<std::uint16_t>(sp + 8), pc);
        }
    }
    removeBreakpoints();
    running = true; // until waitStop hands it over
    return stop;
}

void Talker::Impl::interrupt() {
    if (!connected)
        fail(TalkerFault::Refused, kTalkerNotConnected);
    if (!running)
        fail(TalkerFault::Refused, kTalkerNotRunning);
    if (pendingStop)
        return;
    Line line = this->line();
    const std::uint8_t knock = 0x00;
    line.write({&knock, 1});
    std::optional<TalkerStop> stop = listen(kInterruptWait + character * 20, heldOutput);
    if (!stop)
        fail(TalkerFault::Refused, kTalkerInterruptRefused);
    pendingStop = stop;
}

TalkerStop Talker::Impl::step() {
    requireStopped();
    const TalkerRegisters r = registers();
    Line line = this->line();
    // Raw reads: the instruction and the stack may lie anywhere.
    const std::vector<std::uint8_t> code = line.readBlock(r.pc, 5);
    const std::vector<std::uint8_t> stack = line.readBlock(static_cast<std::uint16_t>(r.sp + 1), 9);
    hc11::FlowRegisters fr;
    fr.a = r.a;
    fr.b = r.b;
    fr.ccr = r.ccr;
    fr.x = r.x;
    fr.y = r.y;
    fr.sp = r.sp;
    fr.pc = r.pc;
    const hc11::Flow flow = hc11::flowAt(code, fr, stack);
    switch (flow.kind) {
    case hc11::FlowKind::Illegal:
    case hc11::FlowKind::Unknown:
        fail(TalkerFault::Refused, fillText(kTalkerStepIllegal, {hexWord(r.pc), hexByte(code[0])}));
    case hc11::FlowKind::Halts:
        fail(TalkerFault::Refused, fillText(kTalkerStepHalts, {hexWord(r.pc)}));
    default:
        break;
    }
    std::vector<std::uint16_t> next = flow.next;
    // A call into ROM cannot be followed: it is stepped over.
    if (flow.call && !next.empty()) {
        const std::uint16_t target = next.front();
        const bool writable = inRam(target, settings.family) || isEeprom(target);
        if (!writable)
            next = {flow.returnsTo};
    }
    resume(next);
    std::vector<std::uint8_t> output;
    std::optional<TalkerStop> stop = listen(kStepWait, output);
    heldOutput.insert(heldOutput.end(), output.begin(), output.end());
    // Kept for the next waitStop(); a program that talks through many steps
    // keeps only its latest words.
    if (heldOutput.size() > kHeldOutputLimit)
        heldOutput.erase(heldOutput.begin(),
                         heldOutput.end() - static_cast<std::ptrdiff_t>(kHeldOutputLimit));
    if (!stop) {
        try {
            interrupt();
        } catch (const TalkerError& error) {
            if (error.fault() == TalkerFault::Refused)
                fail(TalkerFault::Refused, fillText(kTalkerStepNoReturn, {hexWord(r.pc)}));
            throw;
        }
        stop = pendingStop;
        pendingStop.reset();
    }
    running = false;
    return *stop;
}

// --- the public face -------------------------------------------------------------
// A cancel holds for the rest of the session: every call after it ends with
// Cancelled, close() excepted.

void Talker::connect(const std::function<void(std::size_t, std::size_t)>& progress) {
    impl_->connect(progress);
}

void Talker::close() {
    impl_->close();
}

std::vector<std::uint8_t> Talker::read(std::uint16_t address, std::size_t count) {
    return impl_->read(address, count);
}

void Talker::write(std::uint16_t address, std::span<const std::uint8_t> bytes) {
    impl_->write(address, bytes);
}

void Talker::programEeprom(std::uint16_t address, std::span<const std::uint8_t> bytes,
                           const std::function<void(std::size_t, std::size_t)>& progress) {
    impl_->programEeprom(address, bytes, progress);
}

void Talker::programConfig(std::uint8_t value) {
    impl_->programConfig(value);
}

std::uint8_t Talker::configInForce() {
    return impl_->configInForce();
}

TalkerRegisters Talker::registers() {
    return impl_->registers();
}

void Talker::setRegisters(const TalkerRegisters& registers) {
    impl_->setRegisters(registers);
}

void Talker::go(std::span<const std::uint16_t> breakpoints) {
    impl_->go(breakpoints);
}

std::optional<TalkerStop> Talker::waitStop(Duration timeout, std::vector<std::uint8_t>& output) {
    return impl_->waitStop(timeout, output);
}

void Talker::interrupt() {
    impl_->interrupt();
}

TalkerStop Talker::step() {
    return impl_->step();
}

} // namespace kavrel::board
