// The serial port adapter on a pseudo-terminal, a scripted board at its other
// end: the same download as on a USB adapter, and the faults of real ports.
#ifdef __linux__

#include "board/bootstrap.h"
#include "board/serial_terminal.h"
#include "board/serial_transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kavrel::board::test {
namespace {

// The master side of a pseudo-terminal, answering as a loader does: the $FF
// unanswered, then every byte echoed. It can hang up half-way, as an
// unplugged adapter does.
class PtyBoard {
public:
    explicit PtyBoard(std::size_t hangUpAfter = 0) : hangUpAfter_(hangUpAfter) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        path_ = ::ptsname(master_);
        // Never stuck in a read: with no program on the other side, poll
        // says "hung up" and the read would wait for the next one.
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        worker_ = std::thread([this] { answer(); });
    }
    ~PtyBoard() {
        stop_ = true;
        if (worker_.joinable())
            worker_.join();
        if (master_ >= 0)
            ::close(master_);
    }
    const std::string& path() const { return path_; }

private:
    void answer() {
        std::size_t seen = 0;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            std::uint8_t buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            for (ssize_t i = 0; i < n; ++i) {
                if (seen++ == 0)
                    continue;
                if (hangUpAfter_ != 0 && seen > hangUpAfter_) {
                    ::close(master_);
                    master_ = -1;
                    return;
                }
                if (::write(master_, &buffer[i], 1) != 1)
                    return;
            }
        }
    }

    int master_ = -1;
    std::string path_;
    std::size_t hangUpAfter_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

std::vector<std::uint8_t> program(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 13 + 1);
    return bytes;
}

TEST(SerialPort, LoadsThroughAPseudoTerminalAtTheLoadersSpeeds) {
    for (const unsigned baud : {1200u, 7812u, 9600u}) {
        PtyBoard board;
        ASSERT_FALSE(board.path().empty());
        SerialTransport port;
        BootstrapDownload load(program(200), {board.path(), baud, Family::E, false});
        const DownloadResult result = load.run(port);
        EXPECT_TRUE(result.ok()) << baud << " : " << result.message;
        EXPECT_EQ(result.verified, 200u);
    }
}

TEST(SerialPort, AHangUpHalfWayIsAVanishedPort) {
    PtyBoard board(100);
    SerialTransport port;
    BootstrapDownload load(program(256), {board.path(), 1200, Family::A, false});
    const DownloadResult result = load.run(port);
    EXPECT_EQ(result.outcome, Outcome::Vanished) << result.message;
    EXPECT_LE(result.verified, 100u);
}

// A pseudo-terminal has no control lines: a load asked to reset the board
// by them says so before it sends anything.
TEST(SerialPort, APseudoTerminalHasNoLinesToResetTheBoardWith) {
    PtyBoard board;
    ASSERT_FALSE(board.path().empty());
    SerialTransport port;
    DownloadSettings settings{board.path(), 1200, Family::E, false};
    settings.resetByLines = true;
    const DownloadResult result = BootstrapDownload(program(16), settings).run(port);
    EXPECT_EQ(result.outcome, Outcome::PortFailed);
    EXPECT_NE(result.message.find("n'a pas de ligne DTR ni RTS"), std::string::npos)
        << result.message;
    EXPECT_EQ(result.verified, 0u);
}

TEST(SerialPort, PortsThatCannotBeOpened) {
    SerialTransport port;
    try {
        port.open("/dev/kavrel-pas-de-port", 1200);
        ADD_FAILURE() << "ouvert";
    } catch (const PortError& error) {
        EXPECT_EQ(error.fault(), PortFault::NotFound);
    }

    // Held by another program (here, another transport).
    PtyBoard board;
    SerialTransport first;
    first.open(board.path(), 1200);
    try {
        port.open(board.path(), 1200);
        ADD_FAILURE() << "ouvert deux fois";
    } catch (const PortError& error) {
        EXPECT_EQ(error.fault(), PortFault::Busy);
    }
    first.close();
    EXPECT_NO_THROW(port.open(board.path(), 1200)) << "free again once closed";
}

// The terminal lets its port go without waiting for its line's thread; a
// load that opens the port right after (as "Charger dans la carte" does)
// waits for that thread rather than find the port busy.
TEST(SerialPort, APortATerminalLetGoOfIsFreeForTheNextOpening) {
    PtyBoard board;
    ASSERT_FALSE(board.path().empty());
    const QString path = QString::fromStdString(board.path());
    for (int round = 0; round < 20; ++round) {
        SerialTerminalWindow terminal;
        terminal.setPortLister([] { return QList<PortEntry>{}; });
        ASSERT_TRUE(terminal.openPort(path, 9600)) << terminal.statusText().toStdString();
        terminal.closePort(QString());
        SerialTransport next;
        EXPECT_NO_THROW(next.open(board.path(), 9600)) << "round " << round;
    }
}

TEST(SerialPort, ADeviceThisUserMayNotOpenIsNotAllowed) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root passes the rights of any device";
    PtyBoard board;
    ASSERT_EQ(::chmod(board.path().c_str(), 0), 0);
    SerialTransport port;
    try {
        port.open(board.path(), 1200);
        ADD_FAILURE() << "ouvert";
    } catch (const PortError& error) {
        EXPECT_EQ(error.fault(), PortFault::AccessDenied);
    }
}

} // namespace
} // namespace kavrel::board::test

#endif
