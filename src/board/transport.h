#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <span>
#include <stdexcept>
#include <string>

// A byte pipe to a board: a serial port, or a simulated chip in tests. The
// download runs on it from a worker thread; every call may block, a read at
// most for the time it is given.
namespace kavrel::board {

using Duration = std::chrono::nanoseconds;

// What went wrong with the port itself.
enum class PortFault {
    NotFound,     // no such port
    Busy,         // another program holds it
    AccessDenied, // the system does not let this user open it
    Vanished,     // unplugged while in use
    SpeedRefused, // the speed cannot be set
    NoControlLines, // no DTR or RTS to pulse (a pseudo-terminal)
    Other,        // anything else; detail() says what
};

class PortError : public std::runtime_error {
public:
    explicit PortError(PortFault fault, std::string detail = {})
        : std::runtime_error(detail.empty() ? "port" : detail), fault_(fault),
          detail_(std::move(detail)) {}
    PortFault fault() const noexcept { return fault_; }
    // The system's own words (French where the adapter could say it), for Other.
    const std::string& detail() const noexcept { return detail_; }

private:
    PortFault fault_;
    std::string detail_;
};

class Transport {
public:
    virtual ~Transport() = default;

    // 8 data bits, no parity, one stop bit, no flow control. Throws PortError.
    virtual void open(const std::string& port, unsigned baud) = 0;
    // Hands the bytes to the line; they leave one character time apart.
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
    // Waits until a byte has come or `timeout` has passed, then takes what
    // is there (at most into.size() bytes): 0 after a silence. A zero timeout
    // only takes what has already come.
    virtual std::size_t read(std::span<std::uint8_t> into, Duration timeout) = 0;
    // A new speed on the open line (a program that changes its rate); throws
    // PortError (SpeedRefused where the line cannot go at that speed).
    virtual void setBaud(unsigned baud) {
        (void)baud;
        throw PortError(PortFault::SpeedRefused);
    }
    // Drops DTR and RTS for `low`, then raises them again: the reset of
    // boards that wire a control line to RESET. Throws PortError
    // (NoControlLines where the line has none).
    virtual void pulseReset(Duration low) {
        (void)low;
        throw PortError(PortFault::NoControlLines);
    }
    // Never throws; closing a closed transport does nothing.
    virtual void close() = 0;
    // A steady clock: real time for a port, the chip's time for a simulation.
    virtual Duration now() const = 0;
};

// Throws away what has already come, without waiting: a board running a
// program may talk without end, so no more than `most` bytes are taken.
inline void dropWaiting(Transport& port, std::size_t most) {
    std::array<std::uint8_t, 256> buffer{};
    for (std::size_t dropped = 0; dropped < most;) {
        const std::size_t n = port.read(buffer, Duration::zero());
        if (n == 0)
            break;
        dropped += n;
    }
}

namespace detail {
struct ClosingPorts {
    std::mutex mutex;
    std::condition_variable closed;
    std::multiset<std::string> ports;
};
// Never destroyed: a line's thread may still let its port go while the
// program ends.
inline ClosingPorts& closingPorts() {
    static ClosingPorts* const state = new ClosingPorts;
    return *state;
}
// COM12 and \\.\COM12 are one port.
inline std::string portKey(const std::string& port) {
    return port.rfind("\\\\.\\", 0) == 0 ? port.substr(4) : port;
}
} // namespace detail

// The ports this program's own lines are still letting go of. A terminal
// closes its line without waiting for it: the line's thread closes the port
// a moment later (or once a stuck write gives up), and whoever opens that
// port meanwhile waits for it rather than find it busy. Any thread.
inline void portClosing(const std::string& port) {
    auto& state = detail::closingPorts();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.ports.insert(detail::portKey(port));
}
inline void portClosed(const std::string& port) {
    auto& state = detail::closingPorts();
    {
        const std::lock_guard<std::mutex> lock(state.mutex);
        const auto at = state.ports.find(detail::portKey(port));
        if (at != state.ports.end())
            state.ports.erase(at);
    }
    state.closed.notify_all();
}
// How long an opening waits for that: a write stuck on an adapter gives up
// sooner (2 s).
inline constexpr Duration kPortReleaseWait = std::chrono::seconds(5);
// True once none of this program's lines holds `port`; false after `limit`.
inline bool awaitPortClosed(const std::string& port, Duration limit) {
    auto& state = detail::closingPorts();
    std::unique_lock<std::mutex> lock(state.mutex);
    return state.closed.wait_for(lock, limit, [&] {
        return state.ports.count(detail::portKey(port)) == 0;
    });
}

} // namespace kavrel::board
