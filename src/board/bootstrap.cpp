#include "board/bootstrap.h"

#include "board/board_texts.h"
#include "board/fill_text.h"
#include "common/hex_text.h"

#include <algorithm>
#include <array>
#include <deque>
#include <optional>

namespace kavrel::board {

using namespace std::chrono_literals;

namespace {

constexpr std::uint8_t kSync = 0xFF;
// USB adapters hold received bytes for up to 16 ms, and a loaded system
// delays a thread for as long again: beyond the wire's own time, an echo gets
// this much before the board counts as silent.
constexpr Duration kAnswerMargin = 250ms;
// Bytes handed over ahead of their echoes: enough for the adapters' delays,
// few enough that a cancelled load stops soon.
constexpr Duration kWindowTime = 100ms;
constexpr std::size_t kMinimumWindow = 8;
// The longest a wait goes on without looking at a cancellation.
constexpr Duration kCancelSlice = 20ms;
// A reset by the control lines: how long they stay down, and what the chip
// then takes to start its loader and send its break (a few milliseconds;
// an adapter may hold the break for 16 more).
constexpr Duration kResetLow = 50ms;
constexpr Duration kResetStart = 100ms;
// A board that is running a program instead of its loader may talk without
// end: what came before the load is thrown away, up to this much.
constexpr std::size_t kFlushLimit = 4096;

std::string number(std::size_t n) {
    return std::to_string(n);
}

class Load {
public:
    Load(Transport& port, const std::vector<std::uint8_t>& bytes, const DownloadSettings& settings,
         const std::atomic<bool>& cancelled, std::function<void(std::size_t, std::size_t)> progress)
        : port_(port), bytes_(bytes), settings_(settings),
          timing_(timingFor(settings.baud, settings.family)), cancelled_(cancelled),
          progress_(std::move(progress)) {
        due_.reserve(bytes.size());
    }

    DownloadResult run() {
        result_.total = bytes_.size();
        if (settings_.resetByLines && !reset())
            return finish(Outcome::Cancelled, kCancelled);
        flushInput();
        report();
        const std::uint8_t sync = kSync;
        const Duration start = port_.now();
        port_.write({&sync, 1});
        wireFree_ = start + timing_.character;

        while (checked_ < bytes_.size()) {
            if (cancelled_.load())
                return finish(Outcome::Cancelled, kCancelled);
            const Duration now = port_.now();
            if (next_ < bytes_.size() && mayWrite(now)) {
                handOver(now);
                continue;
            }
            if (!received_.empty()) {
                if (!checkOne())
                    return wrongEcho();
                continue;
            }
            const Duration deadline = due_[checked_] + timing_.answer;
            if (now >= deadline)
                return silence();
            Duration wake = std::min(deadline, now + kCancelSlice);
            if (settings_.family == Family::E && next_ < bytes_.size() &&
                wireFree_ - timing_.writeLead > now)
                wake = std::min(wake, wireFree_ - timing_.writeLead);
            take(std::max(wake - now, Duration::zero()));
        }
        settle();
        result_.programOutput.assign(received_.begin(), received_.end());
        return finish(Outcome::Loaded, fillText(kLoaded, {byteCount(bytes_.size())}));
    }

private:
    // Whatever the board said before (the loader's break, a program's
    // chatter) is not an echo.
    void flushInput() { dropWaiting(port_, kFlushLimit); }

    // The board restarted into its loader: what it says meanwhile (its
    // break) is not an echo. False when cancelled.
    bool reset() {
        port_.pulseReset(kResetLow);
        const Duration until = port_.now() + kResetStart;
        for (Duration now = port_.now(); now < until; now = port_.now()) {
            if (cancelled_.load())
                return false;
            take(std::min(until - now, kCancelSlice));
        }
        received_.clear();
        return true;
    }

    // The A loader waits for ever between bytes, so the window alone paces it.
    // The E loader takes a pause for the end of the program: its next byte
    // goes out before the line falls idle, echoes or not.
    bool mayWrite(Duration now) const {
        if (next_ - checked_ < timing_.window)
            return true;
        return settings_.family == Family::E && now >= wireFree_ - timing_.writeLead;
    }

    void handOver(Duration now) {
        std::size_t n = 1;
        if (next_ - checked_ < timing_.window)
            n = timing_.window - (next_ - checked_);
        n = std::min(n, bytes_.size() - next_);
        if (settings_.family == Family::E && !pausedBefore_) {
            const Duration gap = now - wireFree_;
            if (gap > timing_.loaderPause) {
                pausedBefore_ = next_;
                pause_ = gap;
            }
        }
        port_.write({bytes_.data() + next_, n});
        for (std::size_t i = 0; i < n; ++i) {
            // Its echo is due once it has crossed the line and come back.
            const Duration leaves = std::max(now, wireFree_);
            due_.push_back(leaves + 2 * timing_.character);
            wireFree_ = leaves + timing_.character;
        }
        next_ += n;
    }

    void take(Duration timeout) {
        std::array<std::uint8_t, 512> buffer{};
        const std::size_t n = port_.read(buffer, timeout);
        received_.insert(received_.end(), buffer.begin(), buffer.begin() + n);
    }

    bool checkOne() {
        const std::uint8_t echo = received_.front();
        received_.pop_front();
        if (echo != bytes_[checked_]) {
            result_.wrongIndex = checked_;
            result_.sent = bytes_[checked_];
            result_.received = echo;
            return false;
        }
        ++checked_;
        report();
        return true;
    }

    // The E loader ends the load after four character times of silence: keep
    // quiet that long, so that nothing said next is taken as program.
    void settle() {
        if (settings_.family != Family::E || bytes_.size() >= ramBytes(Family::E))
            return;
        const Duration until = wireFree_ + timing_.settle;
        for (Duration now = port_.now(); now < until; now = port_.now())
            take(until - now);
        take(Duration::zero());
    }

    bool pauseExplains() const { return pausedBefore_ && checked_ >= *pausedBefore_; }

    DownloadResult wrongEcho() {
        if (pauseExplains())
            return paused();
        return finish(
            Outcome::WrongEcho,
            fillText(kWrongEcho, {number(result_.wrongIndex + 1), number(bytes_.size()),
                                  hex::word(static_cast<std::uint16_t>(result_.wrongIndex)),
                                  hex::byte(result_.sent), hex::byte(result_.received)}));
    }

    DownloadResult silence() {
        if (pauseExplains())
            return paused();
        if (checked_ == 0)
            return finish(Outcome::NoAnswer, fillText(kNoAnswer, {settings_.port}));
        return finish(Outcome::StoppedAnswering,
                      fillText(kStoppedAnswering, {byteCount(checked_), number(bytes_.size())}));
    }

    DownloadResult paused() {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(pause_).count();
        return finish(Outcome::Paused,
                      fillText(kPaused, {number(static_cast<std::size_t>(std::max<long long>(ms, 1))),
                                         number(*pausedBefore_ + 1)}));
    }

    DownloadResult finish(Outcome outcome, std::string message) {
        result_.outcome = outcome;
        result_.message = std::move(message);
        result_.verified = checked_;
        return result_;
    }

    void report() {
        if (progress_)
            progress_(checked_, bytes_.size());
    }

    Transport& port_;
    const std::vector<std::uint8_t>& bytes_;
    const DownloadSettings& settings_;
    const Timing timing_;
    const std::atomic<bool>& cancelled_;
    const std::function<void(std::size_t, std::size_t)> progress_;

    DownloadResult result_;
    std::size_t next_ = 0;    // bytes handed over
    std::size_t checked_ = 0; // echoes that matched
    std::vector<Duration> due_;
    Duration wireFree_{}; // when the line will have sent all it was given, as far as we know
    std::deque<std::uint8_t> received_;
    std::optional<std::size_t> pausedBefore_; // E: the first byte that came after too long a gap
    Duration pause_{};
};

} // namespace

Timing timingFor(unsigned baud, Family family) {
    Timing t;
    t.character = Duration(10'000'000'000LL / std::max(baud, 1u));
    // Two character times on the wire, then the adapters' and the system's delays.
    t.answer = kAnswerMargin + 10 * t.character;
    // The loader's count of four character times starts when a byte has come in,
    // and the next one must have come in whole before it runs out.
    t.loaderPause = 3 * t.character;
    t.writeLead = std::max<Duration>(2 * t.character, 10ms);
    t.settle = family == Family::E ? 5 * t.character : Duration::zero();
    t.window = std::max<std::size_t>(kMinimumWindow,
                                     static_cast<std::size_t>(kWindowTime / t.character) + 1);
    return t;
}

std::string portFaultMessage(const PortError& error, const std::string& port, unsigned baud) {
    switch (error.fault()) {
    case PortFault::NotFound:
        return fillText(kPortNotFound, {port});
    case PortFault::Busy:
        return fillText(kPortBusy, {port});
    case PortFault::AccessDenied:
#ifdef __linux__
        return fillText(kPortDeniedLinux, {port});
#else
        return fillText(kPortDeniedOther, {port});
#endif
    case PortFault::Vanished:
        return fillText(kPortVanished, {port});
    case PortFault::SpeedRefused:
        return fillText(kPortSpeedRefused, {port, std::to_string(baud)});
    case PortFault::NoControlLines:
        return fillText(kPortNoControlLines, {port});
    case PortFault::Other:
        break;
    }
    return fillText(kPortFailed, {port, error.detail()});
}

BootstrapDownload::BootstrapDownload(std::vector<std::uint8_t> program, DownloadSettings settings)
    : program_(std::move(program)), settings_(std::move(settings)) {}

DownloadResult BootstrapDownload::run(Transport& transport) {
    DownloadResult result;
    const std::optional<std::vector<std::uint8_t>> bytes = loadBytes(program_, settings_.family);
    if (!bytes) {
        result.outcome = Outcome::Refused;
        result.message =
            program_.empty() ? kReasonEmptyBoo : tooBigMessage(program_.size(), settings_.family);
        return result;
    }
    result.total = bytes->size();
    if (cancelled_.load()) {
        result.outcome = Outcome::Cancelled;
        result.message = kCancelled;
        return result;
    }
    try {
        transport.open(settings_.port, settings_.baud);
    } catch (const PortError& error) {
        result.outcome =
            error.fault() == PortFault::Vanished ? Outcome::Vanished : Outcome::PortFailed;
        result.message = portFaultMessage(error, settings_.port, settings_.baud);
        return result;
    }
    std::size_t verified = 0;
    try {
        result = Load(transport, *bytes, settings_, cancelled_,
                      [&](std::size_t done, std::size_t total) {
                          verified = done;
                          if (onProgress)
                              onProgress(done, total);
                      })
                     .run();
    } catch (const PortError& error) {
        result.outcome =
            error.fault() == PortFault::Vanished ? Outcome::Vanished : Outcome::PortFailed;
        result.message = portFaultMessage(error, settings_.port, settings_.baud);
        result.verified = verified;
    }
    if (!(result.ok() && settings_.keepOpen))
        transport.close();
    return result;
}

} // namespace kavrel::board
