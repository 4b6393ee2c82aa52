// The far end of the SCI as a terminal is wired to a chip: standard streams,
// a pseudo-terminal, a downloader's in-memory line. The link hears the
// chip's transmit line and feeds its receive line, and runs beside a
// session so that, on a wire, the simulated time never runs ahead of what
// the far end could have sent.
#pragma once

#include "sim11/session.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace sim11 {

// What stands at the far end.
class SerialHost {
public:
    virtual ~SerialHost() = default;
    // A byte the chip transmitted, at the end of its frame.
    virtual void transmit(std::uint8_t byte) = 0;
    // Appends the bytes that arrived since the last call.
    virtual void poll(std::vector<std::uint8_t>& received) = 0;
    virtual void flush() {}
    // True while the far end may still send: a live program on the line
    // whose timing counts. A file read to its end is not.
    virtual bool live() const { return false; }
};

// Runs `session` with `host` on its SCI until a stop, `maxCycles` or
// `interrupted`. With a live host on a wire feed, each byte the chip
// transmits reaches the host at once, and while a host in the middle of an
// exchange answers (up to a quarter of a second, a twentieth in real time)
// the simulated time stands still; between two of its bytes its silence
// runs at a tenth of real time for a few character times. A downloader
// that waits for each echo, or sends all at once, meets the chip's own
// timeouts however busy this computer is.
RunEnd runWithHost(Session& session, SerialHost& host, std::uint64_t maxCycles = Session::unlimited,
                   const std::atomic<bool>* interrupted = nullptr);

} // namespace sim11
