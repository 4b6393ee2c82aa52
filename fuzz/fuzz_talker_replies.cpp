// Whatever bytes come back from the line once the talker is loaded: every
// call of a debugging session ends in a TalkerError with a French message or
// in a result the bytes vouched for (their check balanced), never a crash, a
// hang, nor an exception of another kind. The loader's echoes are played
// right, so that the session reaches the talker's protocol; from the change
// of speed on, the line gives the fuzzer's bytes, in the pieces it chooses,
// and may vanish.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "board/talker.h"
#include "fuzz_check.h"

namespace {

using namespace kavrel::board;

class FuzzLine final : public Transport {
public:
    FuzzLine(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::vector<std::uint8_t> sent;     // the host's last command
    std::vector<std::uint8_t> received; // given to the host since

    void open(const std::string&, unsigned) override {
        echoing_ = true;
        first_ = true;
    }
    void write(std::span<const std::uint8_t> bytes) override {
        if (gone())
            throw PortError(PortFault::Vanished);
        if (!echoing_) {
            sent.clear();
            received.clear();
        }
        for (const std::uint8_t b : bytes) {
            now_ += character_;
            if (!echoing_) {
                sent.push_back(b);
            } else if (first_) {
                first_ = false; // the loader's $FF is not echoed
            } else {
                echoes_.push_back(b);
            }
        }
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        if (gone())
            throw PortError(PortFault::Vanished);
        ++reads_;
        if (echoing_) {
            if (echoes_.empty()) {
                now_ += timeout;
                return 0;
            }
            std::size_t n = 0;
            while (n < into.size() && !echoes_.empty()) {
                into[n++] = echoes_.front();
                echoes_.erase(echoes_.begin());
            }
            return n;
        }
        // A piece of the fuzzer's bytes, its first byte saying how long; a
        // glance at the line (no wait) finds it still on its way.
        if (at_ >= size_ || into.empty() || timeout == Duration::zero()) {
            now_ += timeout;
            return 0;
        }
        const std::size_t piece = 1 + data_[at_++] % 16;
        std::size_t n = 0;
        while (n < into.size() && n < piece && at_ < size_) {
            into[n] = data_[at_++];
            received.push_back(into[n]);
            ++n;
        }
        now_ += character_ * static_cast<std::int64_t>(n);
        return n;
    }
    void setBaud(unsigned) override {
        echoing_ = false;
        // The first byte of the fuzzer's: after how many reads the port goes (0: never).
        if (at_ < size_)
            vanishAfter_ = data_[at_++];
        reads_ = 0;
    }
    void close() override {}
    Duration now() const override { return now_; }

private:
    bool gone() const { return !echoing_ && vanishAfter_ != 0 && reads_ >= vanishAfter_; }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 1; // the first byte chose the family
    bool echoing_ = true, first_ = true;
    std::vector<std::uint8_t> echoes_;
    Duration now_{};
    Duration character_ = std::chrono::microseconds(1042);
    unsigned reads_ = 0, vanishAfter_ = 0;
};

// A call: told by a TalkerError with a message, or done.
template <typename Call> bool attempt(Call&& call) {
    try {
        call();
        return true;
    } catch (const TalkerError& error) {
        FUZZ_CHECK(error.what()[0] != '\0');
        return false;
    }
}

// The bytes of a successful exchange balance the command that asked for them.
bool balanced(const FuzzLine& line) {
    std::uint8_t sum = 0;
    for (const std::uint8_t b : line.sent)
        sum = static_cast<std::uint8_t>(sum + b);
    for (const std::uint8_t b : line.received)
        sum = static_cast<std::uint8_t>(sum + b);
    return sum == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzLine line(data, size);
    TalkerSettings settings;
    settings.port = "fuzz";
    settings.family = (size > 0 && (data[0] & 1)) ? Family::A : Family::E;
    Talker talker(line, settings);
    if (!attempt([&] { talker.connect(); }))
        return 0;
    // Connected: the first exchange balanced, whatever came after it.
    FUZZ_CHECK(talker.connected());

    std::vector<std::uint8_t> bytes;
    if (attempt([&] { bytes = talker.read(0x0000, 8); })) {
        FUZZ_CHECK(bytes.size() == 8);
        FUZZ_CHECK(balanced(line));
    }
    TalkerRegisters registers;
    if (attempt([&] { registers = talker.registers(); }))
        FUZZ_CHECK(balanced(line));

    const std::array<std::uint8_t, 3> program = {0x86, 0x01, 0x20};
    attempt([&] { talker.write(0x0000, program); });
    const std::uint16_t breakpoints[] = {0x0002};
    if (attempt([&] { talker.go(breakpoints); })) {
        std::vector<std::uint8_t> output;
        attempt([&] { (void)talker.waitStop(std::chrono::milliseconds(50), output); });
        attempt([&] { talker.interrupt(); });
    }
    attempt([&] { (void)talker.step(); });
    const std::uint8_t eeprom = 0x5A;
    attempt([&] { talker.programEeprom(0xB600, {&eeprom, 1}); });
    attempt([&] { talker.programConfig(0x0D); });
    talker.close();
    return 0;
}
