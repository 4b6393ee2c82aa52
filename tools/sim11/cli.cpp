#include "cli.h"

#include "common/hex_text.h"

#include "hc11/disassembler.h"
#include "lab/board_file.h"
#include "lab/shipped_boards.h"
#include "sim11/s19.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>

namespace sim11 {

namespace {

bool parseNumber(const std::string& text, std::uint64_t max, std::uint64_t& value) {
    std::string digits = text;
    int base = 10;
    if (!digits.empty() && digits[0] == '$') {
        digits = digits.substr(1);
        base = 16;
    } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty() || digits.size() > 20)
        return false;
    std::uint64_t v = 0;
    for (const char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            return false;
        if (v > (max - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base))
            return false;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    value = v;
    return true;
}

// "8", "9.8304" or "9,8304" megahertz, from 0.1 to 16.
std::optional<double> parseMegahertz(const std::string& text) {
    double whole = 0, scale = 1;
    bool digits = false, point = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point)
                scale /= 10;
            whole = whole * 10 + (c - '0');
            if (whole > 1e12)
                return std::nullopt;
        } else if ((c == '.' || c == ',') && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    const double mhz = whole * scale;
    if (!digits || mhz < 0.1 || mhz > 16.0)
        return std::nullopt;
    return mhz;
}

} // namespace

const char* usageText() {
    return "usage : sim11 [--chip A1|E1|E9] [--mode single|expanded|boot]\n"
           "              [--board chip|evb|tp|monopuce|FICHIER.toml] [--show]\n"
           "              [--start ADR] [--cycles N] [--sci stdio|pty] [--baud N]\n"
           "              [--quartz MHZ] [--realtime] [--trace] [--regs] [FICHIER.S19 ...]\n";
}

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        auto value = [&](std::string& out) {
            if (k + 1 >= args.size()) {
                error = "l'option " + arg + " attend une valeur";
                return false;
            }
            out = args[++k];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--chip") {
            if (!value(v))
                return false;
            if (v == "A1" || v == "a1")
                options.chip = Chip::A1;
            else if (v == "E1" || v == "e1")
                options.chip = Chip::E1;
            else if (v == "E9" || v == "e9")
                options.chip = Chip::E9;
            else {
                error = "circuit inconnu « " + v + " » (A1, E1 ou E9)";
                return false;
            }
        } else if (arg == "--mode") {
            if (!value(v))
                return false;
            if (v == "single")
                options.mode = Mode::SingleChip;
            else if (v == "expanded")
                options.mode = Mode::Expanded;
            else if (v == "boot")
                options.mode = Mode::Bootstrap;
            else {
                error = "mode inconnu « " + v + " » (single, expanded ou boot)";
                return false;
            }
        } else if (arg == "--board") {
            if (!value(v))
                return false;
            // A board file is read once the options are all known (openBoard).
            options.board = v;
        } else if (arg == "--start") {
            if (!value(v))
                return false;
            std::uint64_t n = 0;
            if (!parseNumber(v, 0xFFFF, n)) {
                error = "adresse de départ invalide « " + v + " » ($0000 à $FFFF)";
                return false;
            }
            options.start = static_cast<std::uint16_t>(n);
        } else if (arg == "--cycles") {
            if (!value(v))
                return false;
            std::uint64_t n = 0;
            if (!parseNumber(v, ~0ull >> 1, n)) {
                error = "nombre de cycles invalide « " + v + " »";
                return false;
            }
            options.cycles = n;
        } else if (arg == "--sci") {
            if (!value(v))
                return false;
            if (v == "stdio")
                options.sci = Options::Sci::Stdio;
            else if (v == "pty")
                options.sci = Options::Sci::Pty;
            else {
                error = "liaison série inconnue « " + v + " » (stdio ou pty)";
                return false;
            }
        } else if (arg == "--baud") {
            if (!value(v))
                return false;
            std::uint64_t n = 0;
            if (!parseNumber(v, 1'000'000, n) || n < 50) {
                error = "vitesse invalide « " + v + " » (de 50 à 1000000 bauds)";
                return false;
            }
            options.baud = static_cast<unsigned>(n);
        } else if (arg == "--quartz") {
            if (!value(v))
                return false;
            const std::optional<double> mhz = parseMegahertz(v);
            if (!mhz) {
                error =
                    "quartz invalide « " + v + " » (en MHz, de 0,1 à 16 ; par exemple 8 ou 9,8304)";
                return false;
            }
            options.quartzHz = *mhz * 1e6;
        } else if (arg == "--show") {
            options.show = true;
        } else if (arg == "--realtime") {
            options.realtime = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--regs") {
            options.regs = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "option inconnue « " + arg + " »";
            return false;
        } else {
            options.files.push_back(arg);
        }
    }
    return true;
}

std::unique_ptr<lab::LabBoard> openBoard(Options& options, std::string& error) {
    const std::vector<std::string> keys = lab::shippedBoardKeys();
    std::optional<lab::BoardDescription> description;
    if (std::find(keys.begin(), keys.end(), options.board) != keys.end()) {
        description = lab::shippedBoard(options.board, error);
    } else {
        std::error_code ec;
        const bool file = std::filesystem::exists(options.board, ec) ||
                          std::filesystem::path(options.board).extension() == ".toml";
        if (!file) {
            std::string known;
            for (const std::string& key : keys)
                known += key + ", ";
            error = "carte inconnue « " + options.board + " » (" + known +
                    "ou le chemin d'un fichier de carte .toml)";
            return nullptr;
        }
        std::string why;
        description = lab::readBoardFile(options.board, why);
        if (!description)
            error = options.board + " : " + why;
    }
    if (!description)
        return nullptr;
    std::unique_ptr<lab::LabBoard> board = lab::LabBoard::create(*description, error);
    if (!board) {
        error = options.board + " : " + error;
        return nullptr;
    }
    const Setup setup = boardSetup(options, *board);
    options.chip = setup.chip;
    options.mode = setup.mode;
    if (!options.quartzHz)
        options.quartzHz = description->quartzHz.value_or(8'000'000.0);
    return board;
}

Setup boardSetup(const Options& options, const lab::LabBoard& board) {
    Setup setup = board.setup({Chip::E9, Mode::SingleChip, Board::Chip});
    if (options.chip)
        setup.chip = *options.chip;
    if (options.mode)
        setup.mode = *options.mode;
    return setup;
}

bool loadPrograms(const Options& options, Session& session, std::string& error) {
    for (const std::string& file : options.files)
        if (!session.loadS19File(file, error))
            return false;
    // The reset vector may come from what was just loaded.
    session.setStart(options.start);
    session.reset();
    return true;
}

namespace {

using kavrel::hex::digits;

// The registers as both the final dump and the trace write them; the trace
// leaves PC out, it starts its line.
std::string registerFields(const Registers& r, bool withPc, std::uint64_t cycles) {
    return "A=" + digits(r.a, 2) + " B=" + digits(r.b, 2) + " X=" + digits(r.x, 4) +
           " Y=" + digits(r.y, 4) + " SP=" + digits(r.sp, 4) +
           (withPc ? " PC=" + digits(r.pc, 4) : std::string()) + " CCR=" + digits(r.ccr, 2) +
           " cycles=" + std::to_string(cycles);
}

} // namespace

std::string formatRegisters(const Machine& machine) {
    return registerFields(machine.regs(), true, machine.cycles());
}

std::string formatTrace(const Machine& machine, const TraceEntry& entry) {
    const hc11::Disassembly dis =
        hc11::disassemble(entry.pc, [&](std::uint16_t a) { return machine.peek(a); });
    std::string bytes;
    for (unsigned k = 0; k < dis.length; ++k) {
        if (k)
            bytes += ' ';
        bytes += digits(machine.peek(static_cast<std::uint16_t>(entry.pc + k)), 2);
    }
    std::string line = digits(entry.pc, 4) + "  " + bytes;
    line.append(line.size() < 20 ? 20 - line.size() : 1, ' ');
    line += dis.text;
    line.append(line.size() < 42 ? 42 - line.size() : 1, ' ');
    line += registerFields(entry.before, false, entry.cycles);
    return line;
}

namespace {

// How long the console's output may wait while the program talks alone, and
// how much of it.
constexpr auto consoleHoldTime = std::chrono::milliseconds(10);
constexpr std::size_t consoleHoldBytes = 4096;

// The host as the program drives it. The trace is written out each time the
// host's output is: the two streams stay in step for someone watching both.
// On the console, what the program sends is written at most every few
// milliseconds while it talks alone: a write after each slice of the run
// (some 25,000 a second at full speed) cost a terminal more than the
// simulation itself. The first bytes after a pause, an answer to anything
// heard from the far end and the end of the run are written at once, so an
// echo or a prompt waits a few milliseconds at most. A wire (a pseudo-
// terminal, the loader's download) gets every slice's bytes at once: the far
// end is a program whose timing counts.
class ProgramHost final : public SerialHost {
public:
    ProgramHost(SerialHost& host, bool console, std::string& trace, std::ostream& err)
        : host_(host), console_(console), trace_(trace), err_(err) {}
    void transmit(std::uint8_t byte) override {
        host_.transmit(byte);
        ++held_;
    }
    void poll(std::vector<std::uint8_t>& received) override {
        const std::size_t before = received.size();
        host_.poll(received);
        heard_ = heard_ || received.size() != before;
    }
    void flush() override {
        if (held_ == 0 && trace_.empty())
            return;
        const auto now = std::chrono::steady_clock::now();
        if (console_ && !heard_ && held_ < consoleHoldBytes && now - lastWrite_ < consoleHoldTime)
            return;
        lastWrite_ = now;
        write();
    }
    bool live() const override { return host_.live(); }
    // The run is over: whatever is held goes out.
    void finish() { write(); }

private:
    void write() {
        host_.flush();
        held_ = 0;
        heard_ = false;
        if (!trace_.empty()) {
            err_ << trace_;
            trace_.clear();
        }
    }

    SerialHost& host_;
    const bool console_;
    std::string& trace_;
    std::ostream& err_;
    std::size_t held_ = 0;
    bool heard_ = false;
    std::chrono::steady_clock::time_point lastWrite_{};
};

} // namespace

int runSimulation(const Options& options, Session& session, SerialHost& host, std::ostream& err,
                  const std::atomic<bool>& interrupted, lab::LabBoard* board) {
    Machine& machine = session.machine();
    const double eClock = options.quartzHz.value_or(8'000'000.0) / 4;
    // Trace lines go out in blocks: one write per line would cost more than the run.
    std::string trace;
    if (options.trace)
        machine.onTrace = [&](const TraceEntry& e) {
            trace += formatTrace(machine, e);
            trace += '\n';
            if (trace.size() > (1u << 16)) {
                err << trace;
                trace.clear();
            }
        };
    // A pseudo-terminal is a wire: bytes sent while the program is busy overrun
    // as on a board; so is the loader's download, which must come in one stream.
    // Elsewhere standard input is typed: each byte waits for the program to ask.
    const bool wire = options.sci == Options::Sci::Pty || options.mode == Mode::Bootstrap;
    session.setFeed(wire ? Feed::Line : Feed::Paced);
    session.setEClock(eClock);
    // The board's lines go out with the trace, in the order of the run. An
    // alarm looks every 10 ms of simulated time: nothing is paid per instruction.
    Machine::Connection look = 0;
    const auto show = [&](bool last) {
        for (const std::string& line : last ? board->changes() : board->settledChanges()) {
            trace += line;
            trace += '\n';
        }
    };
    if (options.show && board) {
        const auto period = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(eClock / 100));
        look = machine.connectAlarm([&, period](std::uint64_t cycle) {
            show(false);
            machine.setAlarm(look, cycle + period);
        });
        machine.setAlarm(look, machine.cycles() + period);
    }
    session.setHostBaud(options.baud);
    session.setRealTime(options.realtime || options.sci == Options::Sci::Pty);
    ProgramHost link(host, !wire, trace, err);
    runWithHost(session, link, options.cycles.value_or(Session::unlimited), &interrupted);
    if (look) {
        machine.disconnect(look);
        show(true);
    }
    link.finish();
    machine.onTrace = nullptr;
    if (options.regs)
        err << formatRegisters(machine) << '\n';
    err.flush();
    return exitOk;
}

} // namespace sim11
