#pragma once

#include "board/boot_image.h"
#include "board/transport.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The bootstrap download: the leading $FF, then the program, each byte's
// echo compared with the byte sent, at the pace each family's loader needs.
namespace kavrel::board {

struct DownloadSettings {
    std::string port;   // as the user named it; the messages repeat it
    unsigned baud = 1200;
    Family family = Family::E;
    // Leaves the port open after a load that succeeded, so that a terminal can
    // take it over without losing what the program sends first.
    bool keepOpen = false;
    // Pulses DTR and RTS first, for boards that wire them to RESET.
    bool resetByLines = false;
};

// The pace of a load, from the speed and the family.
struct Timing {
    Duration character{};   // one frame of 10 bits
    Duration answer{};      // an echo later than this after its byte left the host: no answer
    Duration loaderPause{}; // E: a gap this long between two bytes ends the load
    Duration writeLead{};   // E: the next byte is handed over this long before the line goes idle
    Duration settle{};      // E: the silence kept after the last byte, which ends the load
    std::size_t window = 0; // bytes handed over ahead of the last echo checked
};
Timing timingFor(unsigned baud, Family family);

enum class Outcome {
    Loaded,
    Refused,          // empty or too big: nothing was sent
    PortFailed,       // could not open or set the port
    NoAnswer,         // not one echo
    StoppedAnswering, // echoes, then silence
    WrongEcho,
    Paused,           // E: the host fell silent long enough to end the load
    Vanished,         // the port went away during the load
    Cancelled,
};

struct DownloadResult {
    Outcome outcome = Outcome::Loaded;
    std::string message;      // French, for the user
    std::size_t verified = 0; // bytes whose echo matched
    std::size_t total = 0;    // bytes of the load (an A-family load: 256)
    // The first wrong echo.
    std::size_t wrongIndex = 0;
    std::uint8_t sent = 0, received = 0;
    // What came after the last echo: the first words of the program loaded.
    std::string programOutput;

    bool ok() const { return outcome == Outcome::Loaded; }
};

class BootstrapDownload {
public:
    // `program`: the bytes from $0000, as parseBootImage() gives them.
    BootstrapDownload(std::vector<std::uint8_t> program, DownloadSettings settings);

    // Bytes whose echo has been checked, out of the load's bytes; called on
    // the thread that runs the download, with (0, total) first.
    std::function<void(std::size_t done, std::size_t total)> onProgress;

    // The whole download on `transport`, opened here and closed before it
    // returns (unless keepOpen and loaded). Never throws for a fault of the
    // board or the port: the result says what happened.
    DownloadResult run(Transport& transport);

    // From any thread: the download ends within a few character times.
    void cancel() { cancelled_.store(true); }

    const std::vector<std::uint8_t>& program() const { return program_; }
    const DownloadSettings& settings() const { return settings_; }

private:
    std::vector<std::uint8_t> program_;
    DownloadSettings settings_;
    std::atomic<bool> cancelled_{false};
};

// The French message for a port fault on `port`.
std::string portFaultMessage(const PortError& error, const std::string& port, unsigned baud);

} // namespace kavrel::board
