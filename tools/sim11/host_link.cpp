// The host's link to the SCI: what the far end sends goes onto the receive
// line, what the chip transmits goes to the far end, and the exchange keeps
// the simulated time from running ahead of a host that is answering.
#include "sim11/host_link.h"

#include "blocks.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace sim11 {

namespace {

using Clock = std::chrono::steady_clock;

// How long a host in the middle of an exchange (a downloader waiting for each
// echo) may take to answer before its silence counts, at full speed and in
// real time (where a program blinking a LED while a user types should hardly
// stutter).
constexpr auto hostAnswerWait = std::chrono::milliseconds(250);
constexpr auto hostAnswerWaitRealTime = std::chrono::milliseconds(50);
// A host's silence in an exchange: how much slower than real time, how long.
constexpr double silenceSlowdown = 10.0;
constexpr std::uint64_t talkWindowFrames = 8;

class HostLink final : public RunCompanion {
public:
    HostLink(Session& session, SerialHost& host, const std::atomic<bool>* interrupted)
        : session_(session), machine_(session.machine()), sci_(machine_.sci()), host_(host),
          interrupted_(interrupted) {
        connection_ = machine_.connectTransmit([this](std::uint8_t byte, std::uint64_t) {
            host_.transmit(byte);
            // A live host in the middle of an exchange hears it now and may
            // answer at once: the slice ends here so that its answer is not
            // late in simulated time. So does the first thing the chip says
            // (the loader's break, a prompt), which a host may be waiting
            // for before it sends anything. Not when the host's next bytes
            // are already on the line (it streams), when the program has
            // more to say at once, nor when the host keeps silent after that
            // first turn (the program talks alone): the wire does not wait
            // for any of them.
            const bool mayAnswer = talking_ || !firstTurnGiven_;
            firstTurnGiven_ = true;
            if (host_.live() && sci_.feedMode() == Feed::Line && mayAnswer && !sci_.lineBusy() &&
                !sci_.transmitPending()) {
                turn_ = true;
                machine_.endRun();
            }
        });
    }
    ~HostLink() override { machine_.disconnect(connection_); }
    HostLink(const HostLink&) = delete;
    HostLink& operator=(const HostLink&) = delete;

    Slice beforeSlice() override {
        received_.clear();
        host_.poll(received_);
        if (!received_.empty())
            talking_ = true;
        for (const std::uint8_t byte : received_)
            sci_.feed(byte);
        // A host in the middle of an exchange, its bytes all in: it may be
        // slow to send the next one for reasons of this computer's (a busy
        // processor, a thread not yet woken). Its silence runs at a tenth of
        // real time, for a few character times; after that it is real. Not
        // while the program is still sending: a host waiting for that answer
        // is not late, and the end of the answer waits for the host anyway.
        bool slowSilence = false;
        if (talking_ && sci_.feedMode() == Feed::Line && !sci_.lineBusy()) {
            if (!lineIdle_) {
                lineIdle_ = true;
                lineIdleSince_ = machine_.cycles();
            }
            if (machine_.cycles() - lineIdleSince_ >= talkWindowFrames * sci_.hostFrameCycles() ||
                !host_.live())
                talking_ = false;
            else
                slowSilence = !sci_.transmitting();
        } else {
            lineIdle_ = false;
        }
        Slice slice;
        if (slowSilence)
            slice.ownCycles = std::max<std::uint64_t>(sci_.hostFrameCycles() / 8, 1);
        // A full-speed slice ends when the host's bytes are all in: what
        // follows is silence only if the host keeps quiet. A host that has
        // nothing on the line and is not in an exchange is looked at between
        // whole slices: a byte it sends later arrives at most a slice late,
        // and the chip does not stop after every instruction to ask.
        if (host_.live() && sci_.feedMode() == Feed::Line && (talking_ || sci_.lineBusy()))
            slice.until = std::max(sci_.lineFreeAt(), machine_.cycles() + 1);
        return slice;
    }

    bool afterSlice(Halt& halt, std::uint64_t sliceFrom, bool ownSlice,
                    bool sessionEnded) override {
        host_.flush();
        bool again = false;
        if (ownSlice && !turn_) {
            const double seconds =
                static_cast<double>(machine_.cycles() - sliceFrom) / session_.eClock();
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds * silenceSlowdown));
        }
        if (halt == Halt::Ended && turn_ && !sessionEnded) {
            // The host's turn: the simulated time stands still while a host
            // in the middle of an exchange answers (real time starts again
            // from its answer), so how busy this computer is does not count.
            halt = Halt::CycleLimit;
            again = true;
            talking_ = awaitHost();
        }
        turn_ = false;
        return again;
    }

    bool interrupted() const override { return interrupted_ && interrupted_->load(); }

private:
    bool awaitHost() {
        const Clock::time_point until =
            Clock::now() + (session_.realTime() ? hostAnswerWaitRealTime : hostAnswerWait);
        for (;;) {
            received_.clear();
            host_.poll(received_);
            if (!received_.empty()) {
                for (const std::uint8_t byte : received_)
                    sci_.feed(byte);
                return true;
            }
            if (!host_.live() || Clock::now() >= until || machine_.haltRequested() || interrupted())
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    Session& session_;
    Machine& machine_;
    Sci& sci_;
    SerialHost& host_;
    const std::atomic<bool>* interrupted_;
    Machine::Connection connection_ = 0;
    std::vector<std::uint8_t> received_;
    bool turn_ = false;           // the SCI transmitted to a live host
    bool firstTurnGiven_ = false; // the chip has said something to the host
    bool talking_ = false;        // the host sent since it last let an answer wait
    bool lineIdle_ = false;       // ...and all it sent is in, since lineIdleSince_
    std::uint64_t lineIdleSince_ = 0;
};

} // namespace

RunEnd runWithHost(Session& session, SerialHost& host, std::uint64_t maxCycles,
                   const std::atomic<bool>* interrupted) {
    HostLink link(session, host, interrupted);
    return session.runBeside(link, maxCycles);
}

} // namespace sim11
