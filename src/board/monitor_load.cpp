#include "board/monitor_load.h"

#include "board/board_texts.h"
#include "board/bootstrap.h"
#include "board/fill_text.h"
#include "common/hex_text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kavrel::board {

using namespace std::chrono_literals;

namespace {

// What comes from the monitor later than the wire allows, through a USB
// adapter that holds bytes for up to 16 ms on a loaded system.
constexpr Duration kAnswerMargin = 250ms;
// The longest a wait goes on without looking at a cancellation.
constexpr Duration kCancelSlice = 20ms;
// A board may talk without end: what it said before is dropped, up to this much.
constexpr std::size_t kFlushLimit = 4096;
// Bytes kept of what the monitor says while we wait for something.
constexpr std::size_t kHeardLimit = 4096;
// BUFFALO's DLY10MS: 20,000 E cycles for a byte's erase, as much again for
// its programming; 100 of them after the S9 record "to let the host finish".
constexpr double kProgramCycles = 20'000;
constexpr int kEndDelays = 100;
constexpr char kCancelLine = 0x18; // Ctrl+X: the monitor drops the line, shows its prompt

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    return (std::toupper(static_cast<unsigned char>(c)) - 'A') + 10;
}

std::string number(std::size_t n) {
    return std::to_string(n);
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The bytes of a record's hex pairs, checked; empty with the reason.
std::optional<std::vector<std::uint8_t>> recordBytes(std::string_view pairs, std::string& why) {
    if (pairs.size() % 2 != 0 || pairs.size() < 2) {
        why = kS19BadCount;
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = 0; k < pairs.size(); k += 2) {
        if (!isHex(pairs[k]) || !isHex(pairs[k + 1])) {
            why = kS19NotHex;
            return std::nullopt;
        }
        bytes.push_back(
            static_cast<std::uint8_t>(hexValue(pairs[k]) << 4 | hexValue(pairs[k + 1])));
    }
    // The count, then address, data and checksum: the count covers all but itself.
    if (bytes.front() != bytes.size() - 1) {
        why = kS19BadCount;
        return std::nullopt;
    }
    unsigned sum = 0;
    for (const std::uint8_t b : bytes)
        sum += b;
    if ((sum & 0xFF) != 0xFF) {
        why = kS19BadChecksum;
        return std::nullopt;
    }
    return bytes;
}

std::string badLine(int line, std::string_view why) {
    return fillText(kS19BadLine, {std::to_string(line), why});
}

const MemoryRegion* regionAt(const MonitorBoard& board, std::uint16_t address) {
    for (const MemoryRegion& region : board.memory)
        if (address >= region.from && address <= region.to)
            return &region;
    return nullptr;
}

bool programmedSlowly(const MonitorBoard& board, std::uint16_t address) {
    const MemoryRegion* region = regionAt(board, address);
    return address == board.config || (region && region->kind == MemoryRegion::Kind::Eeprom);
}

// What the monitor says, as text: NULs (its padding) left out.
std::string printable(const std::string& heard) {
    std::string text;
    for (const char c : heard)
        if (c != '\0')
            text += c;
    return text;
}

// The monitor's words on one line: line ends and runs of blanks as one space.
std::string oneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const bool blank = c == '\r' || c == '\n' || c == ' ' || c == '\t';
        if (blank) {
            if (!line.empty() && line.back() != ' ')
                line += ' ';
        } else {
            // A byte that is no character stays in the way of a word: noise is no "done".
            line += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    if (line.size() > 120)
        line = line.substr(0, 117) + "...";
    return line;
}

// The prompt: a '>' at the start of a line, the last thing said.
bool endsInPrompt(const std::string& heard) {
    std::string text = printable(heard);
    while (!text.empty() && (text.back() == ' '))
        text.pop_back();
    if (text.empty() || text.back() != '>')
        return false;
    return text.size() == 1 || text[text.size() - 2] == '\r' || text[text.size() - 2] == '\n';
}

class Load {
public:
    Load(Transport& port, const S19Program& program, const MonitorSettings& settings,
         const std::atomic<bool>& cancelled, const std::atomic<bool>& abandoned,
         std::function<void(std::size_t, std::size_t)> progress)
        : port_(port), program_(program), settings_(settings),
          timing_(monitorTimingFor(settings.baud, settings.board.crystalHz)), cancelled_(cancelled),
          abandoned_(abandoned), progress_(std::move(progress)) {}

    MonitorResult run() {
        result_.total = program_.records.size();
        flushInput();
        if (!awaitPrompt())
            return finished();
        if (!giveCommand())
            return finished();
        commandGiven_ = true;
        report();
        bool cut = false;
        for (const S19Record& record : program_.records) {
            if (cancelled_.load() || !sendRecord(record))
                return cancelledLoad();
            ++result_.sent;
            report();
            // The monitor spoke up in the middle of the load: it refused a
            // byte and skips the rest. The S9 brings it back to its prompt.
            if (!oneLine(printable(heard_)).empty()) {
                cut = true;
                break;
            }
        }
        midLoad_ = oneLine(printable(heard_));
        heard_.clear();
        // Two blanks before the S9: a record cut in its middle has its last
        // byte's digits filled with them, and the 'S' is seen as a record's.
        send(std::string(cut ? "\r\r" : "") + program_.end + "\r");
        ended_ = true;
        if (!waitUntil(wireFree_))
            return cancelledLoad();
        return lastWord();
    }

private:
    // --- the prompt and the command ---

    void flushInput() { dropWaiting(port_, kFlushLimit); }

    // Ctrl+X first: at the prompt it only starts a new line, where a
    // carriage return would repeat the last command. A monitor just reset
    // waits for a carriage return before its first prompt.
    bool awaitPrompt() {
        for (const char knock : {kCancelLine, '\r'}) {
            heard_.clear();
            send(std::string(1, knock));
            const Duration deadline = wireFree_ + 40 * timing_.character + timing_.answer;
            switch (waitForPrompt(deadline)) {
            case Wait::Done:
                return true;
            case Wait::Cancelled:
                cancelledLoad();
                return false;
            case Wait::TimedOut:
                break;
            }
        }
        fail(MonitorOutcome::NoPrompt,
             fillText(kMonitorNoPrompt, {settings_.port, std::to_string(settings_.baud)}));
        return false;
    }

    enum class Wait { Done, TimedOut, Cancelled };

    // A prompt, then the silence that shows nothing else follows it.
    Wait waitForPrompt(Duration deadline) {
        for (;;) {
            if (cancelled_.load())
                return Wait::Cancelled;
            const Duration now = port_.now();
            if (endsInPrompt(heard_) && now >= lastHeard_ + timing_.quiet)
                return Wait::Done;
            if (now >= deadline)
                return Wait::TimedOut;
            Duration until = deadline;
            if (endsInPrompt(heard_))
                until = std::min(until, lastHeard_ + timing_.quiet);
            take(std::min(until - now, kCancelSlice));
        }
    }

    // The command, repeated by the monitor as it is typed; a monitor that
    // does not know it says so at once.
    bool giveCommand() {
        heard_.clear();
        send(settings_.command + "\r");
        const std::string wanted = upper(settings_.command);
        const auto length = static_cast<long long>(wanted.size()) + 4;
        const Duration deadline = wireFree_ + 2 * length * timing_.character + timing_.answer;
        std::size_t at = std::string::npos;
        while ((at = upper(printable(heard_)).find(wanted)) == std::string::npos) {
            if (cancelled_.load()) {
                cancelledLoad();
                return false;
            }
            const Duration now = port_.now();
            if (now >= deadline) {
                fail(MonitorOutcome::CommandRefused, fillText(kMonitorNoEcho, {settings_.command}));
                return false;
            }
            take(std::min(deadline - now, kCancelSlice));
        }
        // The load starts silently; an answer within a few characters is a refusal.
        const Duration settle = port_.now() + timing_.quiet;
        while (port_.now() < settle) {
            if (cancelled_.load()) {
                cancelledLoad();
                return false;
            }
            take(std::min(settle - port_.now(), kCancelSlice));
        }
        const std::string after = oneLine(printable(heard_).substr(at + wanted.size()));
        if (!after.empty()) {
            fail(MonitorOutcome::CommandRefused,
                 fillText(kMonitorCommandRefused, {settings_.command, after}));
            return false;
        }
        heard_.clear();
        return true;
    }

    // --- the records ---

    // A record and its line end. After the second digit of a byte bound
    // for the EEPROM the monitor programs it, deaf for that time: the next
    // character may wait in the receiver, the one after must not come
    // before the programming is over.
    bool sendRecord(const S19Record& record) {
        const std::string text = record.text + "\r";
        // Data digits start after "S1", the count and the address.
        constexpr std::size_t firstData = 8;
        std::size_t from = 0;
        for (std::size_t k = 0; k < record.data.size(); ++k) {
            const auto address = static_cast<std::uint16_t>(record.address + k);
            if (!programmedSlowly(settings_.board, address))
                continue;
            const std::size_t secondDigit = firstData + 2 * k + 1;
            // Up to the character that may wait in the receiver.
            const std::size_t upTo = std::min(secondDigit + 2, text.size());
            send(text.substr(from, upTo - from));
            from = upTo;
            const auto after = static_cast<long long>(upTo - secondDigit - 1);
            const Duration digitEnd = lastEnd_ - after * timing_.character;
            if (!waitUntil(digitEnd + timing_.eepromByte + timing_.margin))
                return false;
        }
        send(text.substr(from));
        return true;
    }

    void send(const std::string& text) {
        if (text.empty())
            return;
        port_.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        const Duration start = std::max(port_.now(), wireFree_);
        wireFree_ = start + static_cast<long long>(text.size()) * timing_.character;
        lastEnd_ = wireFree_;
    }

    // Lets the line run until `when`, listening; false when cancelled.
    bool waitUntil(Duration when) {
        for (Duration now = port_.now(); now < when; now = port_.now()) {
            if (cancelled_.load())
                return false;
            take(std::min(when - now, kCancelSlice));
        }
        return !cancelled_.load();
    }

    void take(Duration timeout) {
        std::array<std::uint8_t, 512> buffer{};
        const std::size_t n = port_.read(buffer, std::max(timeout, Duration::zero()));
        if (n == 0)
            return;
        lastHeard_ = port_.now();
        heard_.append(reinterpret_cast<const char*>(buffer.data()), n);
        if (heard_.size() > kHeardLimit)
            heard_.erase(0, heard_.size() - kHeardLimit);
    }

    // --- the monitor's last word ---

    MonitorResult lastWord() {
        const Duration deadline =
            wireFree_ + 2 * timing_.endPause + 40 * timing_.character + timing_.answer;
        const Wait wait = waitForPrompt(deadline);
        if (wait == Wait::Cancelled)
            return cancelledLoad();
        std::string said = printable(heard_);
        result_.lastWords = said;
        if (wait == Wait::Done) {
            // The prompt itself is not part of the answer.
            said.erase(said.find_last_of('>'));
        }
        result_.answer = oneLine(said);
        const std::string& answer = result_.answer;
        if (const std::optional<std::uint16_t> address = refusedAddress(answer)) {
            result_.address = address;
            return refused(*address);
        }
        if (midLoad_.find("rom-") != std::string::npos || answer.find("rom-") != std::string::npos)
            return fail(MonitorOutcome::RomRefused, kMonitorRomRefusedSomewhere);
        if (answer.find("chksum") != std::string::npos ||
            answer.find("checksum") != std::string::npos)
            return fail(MonitorOutcome::ChecksumRefused, kMonitorChecksum);
        if (answer.find("rcvr") != std::string::npos)
            return fail(MonitorOutcome::MonitorError, kMonitorReceiveError);
        if (wait == Wait::Done && answer == "done" && midLoad_.empty()) {
            result_.outcome = MonitorOutcome::Loaded;
            result_.message = loadedMessage();
            return result_;
        }
        if (answer.empty() && midLoad_.empty())
            return fail(MonitorOutcome::NoEnd,
                        fillText(kMonitorNoEnd, {number(result_.sent), number(result_.total)}));
        const std::string words = midLoad_.empty() ? answer
                                  : answer.empty() ? midLoad_
                                                   : midLoad_ + " " + answer;
        return fail(MonitorOutcome::MonitorError, fillText(kMonitorOwnError, {words}));
    }

    // BUFFALO names the address it could not write, alone on its line, after the last record.
    static std::optional<std::uint16_t> refusedAddress(const std::string& answer) {
        std::string word = answer;
        const std::size_t dash = word.rfind("rom-");
        if (dash != std::string::npos)
            word = oneLine(word.substr(dash + 4));
        if (word.size() != 4 || !std::all_of(word.begin(), word.end(), isHex))
            return std::nullopt;
        return static_cast<std::uint16_t>(std::stoul(word, nullptr, 16));
    }

    MonitorResult refused(std::uint16_t address) {
        const std::string where = hex::word(address);
        const MemoryRegion* region = regionAt(settings_.board, address);
        using Kind = MemoryRegion::Kind;
        if (region && region->kind == Kind::Rom)
            return fail(MonitorOutcome::RomRefused, fillText(kMonitorRomRefused, {where}));
        if (programmedSlowly(settings_.board, address))
            return fail(MonitorOutcome::WriteRefused, fillText(kMonitorEepromRefused, {where}));
        return fail(MonitorOutcome::NoMemory, fillText(kMonitorNoMemory, {where}));
    }

    std::string loadedMessage() const {
        std::size_t eeprom = 0;
        for (const S19Record& record : program_.records)
            for (std::size_t k = 0; k < record.data.size(); ++k)
                if (programmedSlowly(settings_.board,
                                     static_cast<std::uint16_t>(record.address + k)))
                    ++eeprom;
        if (eeprom == 0)
            return fillText(kMonitorLoaded, {number(result_.total), byteCount(program_.bytes)});
        return fillText(kMonitorLoadedEeprom,
                        {number(result_.total), byteCount(program_.bytes), byteCount(eeprom)});
    }

    // The monitor waits for records, deaf to anything else: an S9 brings
    // it back to its prompt, with what came of the program so far, once its
    // pause is over; a load started before that would find no prompt.
    MonitorResult cancelledLoad() {
        if (result_.outcome != MonitorOutcome::Cancelled) {
            result_.outcome = MonitorOutcome::Cancelled;
            result_.message =
                fillText(kMonitorCancelled, {number(result_.sent), number(result_.total)});
            if (commandGiven_) {
                heard_.clear();
                if (!ended_)
                    send("\r\r" + program_.end + "\r");
                const Duration deadline =
                    wireFree_ + timing_.endPause + 40 * timing_.character + timing_.answer;
                for (Duration now = port_.now(); now < deadline; now = port_.now()) {
                    if (abandoned_.load() ||
                        (endsInPrompt(heard_) && now >= lastHeard_ + timing_.quiet))
                        break;
                    take(std::min(deadline - now, kCancelSlice));
                }
            }
        }
        return result_;
    }

    MonitorResult fail(MonitorOutcome outcome, std::string message) {
        result_.outcome = outcome;
        result_.message = std::move(message);
        return result_;
    }

    MonitorResult finished() const { return result_; }

    void report() {
        if (progress_)
            progress_(result_.sent, result_.total);
    }

    Transport& port_;
    const S19Program& program_;
    const MonitorSettings& settings_;
    const MonitorTiming timing_;
    const std::atomic<bool>& cancelled_;
    const std::atomic<bool>& abandoned_;
    const std::function<void(std::size_t, std::size_t)> progress_;

    MonitorResult result_;
    bool commandGiven_ = false;
    bool ended_ = false;  // the S9 has gone
    std::string heard_;   // what the monitor said since we last looked
    std::string midLoad_; // what it said while the records went
    Duration lastHeard_{};
    Duration wireFree_{}; // when the line will have sent all it was given
    Duration lastEnd_{};  // the end of the last character handed over
};

} // namespace

std::optional<S19Program> parseS19Program(std::string_view text, std::string& error) {
    S19Program program;
    bool ended = false;
    std::optional<std::uint16_t> start;
    int line = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view row = text.substr(at, end - at);
        at = end + 1;
        if (end < text.size() && text[end] == '\r' && at < text.size() && text[at] == '\n')
            ++at;
        ++line;
        // A DOS end-of-file mark ends the file.
        if (const std::size_t eof = row.find('\x1A'); eof != std::string_view::npos) {
            row = row.substr(0, eof);
            at = text.size();
        }
        while (!row.empty() && (row.back() == ' ' || row.back() == '\t'))
            row.remove_suffix(1);
        if (row.empty())
            continue;
        if (row.size() < 2 || (row[0] != 'S' && row[0] != 's')) {
            error = badLine(line, kS19NotRecord);
            return std::nullopt;
        }
        const char type = row[1];
        std::string why;
        const std::optional<std::vector<std::uint8_t>> bytes = recordBytes(row.substr(2), why);
        if (!bytes) {
            error = badLine(line, why);
            return std::nullopt;
        }
        if (type == '0' || type == '5')
            continue;
        if (type != '1' && type != '9') {
            error = badLine(line, fillText(kS19LongAddress, {std::string("S") + type}));
            return std::nullopt;
        }
        if (bytes->size() < 4) {
            error = badLine(line, kS19BadCount);
            return std::nullopt;
        }
        const auto address = static_cast<std::uint16_t>((*bytes)[1] << 8 | (*bytes)[2]);
        if (type == '9') {
            if (!ended) {
                program.end = upper(std::string(row));
                start = address;
                ended = true;
            }
            continue;
        }
        S19Record record;
        record.address = address;
        record.data.assign(bytes->begin() + 3, bytes->end() - 1);
        if (address + record.data.size() > 0x10000) {
            error = badLine(line, kS19Wraps);
            return std::nullopt;
        }
        record.text = upper(std::string(row));
        record.line = line;
        program.bytes += record.data.size();
        program.records.push_back(std::move(record));
    }
    if (program.bytes == 0) {
        error = kS19Empty;
        return std::nullopt;
    }
    if (!ended)
        program.end = "S9030000FC";
    // An S9 with $0000 where nothing is loaded: the assembler had no start.
    const bool loadsZero =
        std::any_of(program.records.begin(), program.records.end(),
                    [](const S19Record& r) { return r.address == 0 && !r.data.empty(); });
    program.entry = start && (*start != 0 || loadsZero) ? *start : program.records.front().address;
    return program;
}

const std::vector<MonitorBoard>& monitorBoards() {
    using Kind = MemoryRegion::Kind;
    static const std::vector<MonitorBoard> boards{
        {"68HC11E9 (RAM $0000-$01FF, EEPROM $B600-$B7FF, ROM $D000-$FFFF)",
         {{Kind::Monitor, 0x002D, 0x00FF},
          {Kind::Ram, 0x0000, 0x01FF},
          {Kind::Registers, 0x1000, 0x103F},
          {Kind::Eeprom, 0xB600, 0xB7FF},
          {Kind::Rom, 0xD000, 0xFFFF}},
         0x103F,
         8'000'000},
        {"68HC11A8 (RAM $0000-$00FF, EEPROM $B600-$B7FF, ROM $E000-$FFFF)",
         {{Kind::Monitor, 0x002D, 0x00FF},
          {Kind::Ram, 0x0000, 0x00FF},
          {Kind::Registers, 0x1000, 0x103F},
          {Kind::Eeprom, 0xB600, 0xB7FF},
          {Kind::Rom, 0xE000, 0xFFFF}},
         0x103F,
         8'000'000},
    };
    return boards;
}

MonitorTiming monitorTimingFor(unsigned baud, double crystalHz) {
    MonitorTiming t;
    t.character = Duration(10'000'000'000LL / std::max(baud, 1u));
    t.answer = kAnswerMargin;
    t.quiet = std::max<Duration>(20 * t.character, 50ms);
    const double eClock = std::max(crystalHz, 1.0) / 4;
    const auto cycles = [&](double n) {
        return Duration(static_cast<long long>(n * 1e9 / eClock));
    };
    t.eepromByte = cycles(2 * kProgramCycles);
    // The monitor's steps around the programming, a few hundred cycles; and
    // a line that lets a character go a little late after the one before (a
    // USB adapter's transfers): the next must still find the monitor done.
    t.margin = cycles(600) + 2ms;
    t.endPause = cycles(kEndDelays * kProgramCycles);
    return t;
}

MonitorLoad::MonitorLoad(S19Program program, MonitorSettings settings)
    : program_(std::move(program)), settings_(std::move(settings)) {}

MonitorResult MonitorLoad::run(Transport& transport) {
    MonitorResult result;
    result.total = program_.records.size();
    // Bytes the board cannot take are refused before anything is sent.
    for (const S19Record& record : program_.records)
        for (std::size_t k = 0; k < record.data.size(); ++k) {
            const auto address = static_cast<std::uint16_t>(record.address + k);
            const MemoryRegion* region = regionAt(settings_.board, address);
            if (!region)
                continue;
            using Kind = MemoryRegion::Kind;
            const std::string line = std::to_string(record.line), where = hex::word(address);
            if (region->kind == Kind::Rom) {
                result.outcome = MonitorOutcome::RomRefused;
                result.message = fillText(kMonitorRomAhead, {line, where, settings_.board.name});
            } else if (region->kind == Kind::Nothing) {
                result.outcome = MonitorOutcome::NoMemory;
                result.message =
                    fillText(kMonitorNothingAhead, {line, where, settings_.board.name});
            } else if (region->kind == Kind::Monitor) {
                result.outcome = MonitorOutcome::Refused;
                result.message =
                    fillText(kMonitorOwnRamAhead,
                             {line, where, hex::word(region->from) + "-" + hex::word(region->to),
                              hex::word(static_cast<std::uint16_t>(region->to + 1))});
            } else {
                continue;
            }
            result.address = address;
            return result;
        }
    if (cancelled_.load()) {
        result.outcome = MonitorOutcome::Cancelled;
        result.message = fillText(kMonitorCancelled, {"0", std::to_string(result.total)});
        return result;
    }
    try {
        transport.open(settings_.port, settings_.baud);
    } catch (const PortError& error) {
        result.outcome = error.fault() == PortFault::Vanished ? MonitorOutcome::Vanished
                                                              : MonitorOutcome::PortFailed;
        result.message = portFaultMessage(error, settings_.port, settings_.baud);
        return result;
    }
    std::size_t sent = 0;
    try {
        result = Load(transport, program_, settings_, cancelled_, abandoned_,
                      [&](std::size_t done, std::size_t total) {
                          sent = done;
                          if (onProgress)
                              onProgress(done, total);
                      })
                     .run();
    } catch (const PortError& error) {
        result.outcome = error.fault() == PortFault::Vanished ? MonitorOutcome::Vanished
                                                              : MonitorOutcome::PortFailed;
        result.message = portFaultMessage(error, settings_.port, settings_.baud);
        result.sent = sent;
    }
    if (!(result.ok() && settings_.keepOpen))
        transport.close();
    return result;
}

std::string goCommand(std::uint16_t address) {
    return "G " + hex::digits(address, 4);
}

StartResult startProgram(Transport& transport, std::uint16_t address, const std::string& port,
                         unsigned baud, const std::atomic<bool>& cancelled) {
    StartResult result;
    const std::string command = goCommand(address);
    const MonitorTiming timing = monitorTimingFor(baud, 8'000'000);
    try {
        const std::string line = command + "\r";
        transport.write({reinterpret_cast<const std::uint8_t*>(line.data()), line.size()});
        const auto length = static_cast<long long>(line.size()) + 4;
        const Duration deadline = transport.now() + 2 * length * timing.character + timing.answer;
        std::string heard;
        std::array<std::uint8_t, 256> buffer{};
        for (;;) {
            // Repeated up to its carriage return: the monitor has started it.
            const std::size_t at = heard.find(command);
            const std::size_t cr = at == std::string::npos ? at : heard.find('\r', at);
            if (cr != std::string::npos) {
                std::size_t from = cr + 1;
                if (from < heard.size() && heard[from] == '\n')
                    ++from;
                result.ok = true;
                result.message = fillText(kMonitorStarted, {command});
                result.programOutput = heard.substr(from);
                return result;
            }
            const Duration now = transport.now();
            if (cancelled.load() || now >= deadline)
                break;
            const std::size_t n = transport.read(buffer, std::min(deadline - now, kCancelSlice));
            heard.append(reinterpret_cast<const char*>(buffer.data()), n);
        }
    } catch (const PortError& error) {
        result.message = portFaultMessage(error, port, baud);
        return result;
    }
    result.message = fillText(kMonitorNotStarted, {command});
    return result;
}

} // namespace kavrel::board
