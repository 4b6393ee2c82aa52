// What a monitor answers on the line: any bytes, cut anyhow, with the port
// failing at any point, end the load and the start in an outcome told in
// French, never a crash, a hang, or a success the monitor did not confirm
// with its "done" at its prompt.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "board/monitor_load.h"
#include "fuzz_check.h"

namespace {

using kavrel::board::Duration;
using kavrel::board::PortError;
using kavrel::board::PortFault;

// Plays the fuzzer's bytes as what comes back, in simulated time: the first
// byte chooses the failure and the size of each arrival.
class Answers : public kavrel::board::Transport {
public:
    explicit Answers(std::string_view script) {
        if (!script.empty()) {
            const auto control = static_cast<std::uint8_t>(script[0]);
            chunk_ = 1 + (control & 0x0F);
            gap_ = Duration(static_cast<long long>(1 + (control & 0x03)) * 1'000'000);
            nextAt_ = gap_;
            if (control & 0x10)
                vanishAfter_ = static_cast<std::size_t>(control >> 5) * 7;
            if (control == 0xFF)
                openFault_ = true;
            script.remove_prefix(1);
        }
        coming_ = script;
    }

    std::string written;

    void open(const std::string&, unsigned) override {
        if (openFault_)
            throw PortError(PortFault::Busy);
        open_ = true;
    }
    void write(std::span<const std::uint8_t> bytes) override {
        usable();
        written.append(bytes.begin(), bytes.end());
        now_ += Duration(1000);
    }
    // Each arrival comes a few milliseconds after the one before, counted
    // from the opening, and a DEL in the script is a silence of 100 ms: what
    // waits for a byte lets the time run.
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        usable();
        ++reads_;
        while (!coming_.empty() && coming_.front() == '\x7F') {
            coming_.remove_prefix(1);
            nextAt_ += Duration(100'000'000);
        }
        if (coming_.empty() || nextAt_ > now_ + timeout) {
            now_ += std::max(timeout, Duration(1000));
            return 0;
        }
        now_ = std::max(now_, nextAt_);
        nextAt_ = now_ + gap_;
        std::size_t n = std::min({into.size(), coming_.size(), chunk_});
        n = std::min(n, coming_.find('\x7F'));
        std::copy_n(coming_.begin(), n, into.begin());
        coming_.remove_prefix(n);
        return n;
    }
    void close() override { open_ = false; }
    Duration now() const override { return now_; }

private:
    void usable() const {
        FUZZ_CHECK(open_);
        if (vanishAfter_ && reads_ >= *vanishAfter_)
            throw PortError(PortFault::Vanished);
    }

    std::string_view coming_;
    std::size_t chunk_ = 1;
    std::optional<std::size_t> vanishAfter_;
    bool openFault_ = false;
    bool open_ = false;
    std::size_t reads_ = 0;
    Duration gap_{3'000'000};
    Duration nextAt_{3'000'000};
    Duration now_{};
};

// Two records in RAM, one in the EEPROM: the pacing is played too.
constexpr const char* kProgram = "S1070100864120FC14\r\n"
                                 "S105B600013F04\r\n"
                                 "S9030100FB\r\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<kavrel::board::S19Program> program =
        kavrel::board::parseS19Program(kProgram, error);
    FUZZ_CHECK(program);
    kavrel::board::MonitorSettings settings;
    settings.port = "COM3";
    settings.keepOpen = true;
    kavrel::board::MonitorLoad load(*program, settings);
    Answers line(script);
    const kavrel::board::MonitorResult result = load.run(line);
    FUZZ_CHECK(!result.message.empty());
    FUZZ_CHECK(result.sent <= result.total);
    if (result.ok()) {
        // Confirmed: the monitor said "done" and nothing else, after the last record.
        FUZZ_CHECK(result.answer == "done");
        std::string said(script);
        std::erase(said, '\0');   // the monitor's padding
        std::erase(said, '\x7F'); // the script's silences
        FUZZ_CHECK(said.find("done") != std::string::npos);
        FUZZ_CHECK(line.written.find("S9030100FB") != std::string::npos);
        FUZZ_CHECK(result.sent == result.total);
        const std::atomic<bool> never{false};
        const kavrel::board::StartResult started =
            kavrel::board::startProgram(line, program->entry, settings.port, settings.baud, never);
        FUZZ_CHECK(!started.message.empty());
        if (started.ok)
            FUZZ_CHECK(said.find("G 0100") != std::string::npos);
    }
    return 0;
}
