// "Terminal série" on a line held by the test: what comes is shown, what is
// typed goes out, the speed follows the field, a line that fails closes the
// port and says why, and the port is always closed by the line's own thread.
// No pseudo-terminal: this runs on Windows as well.
#include "board/board_texts.h"
#include "board/serial_terminal.h"
#include "terminal/terminal_widget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kavrel::board::test {
namespace {

// What the far end of the line holds; kept by the test beyond the
// transport's life.
struct Line {
    std::mutex mutex;
    std::condition_variable came;
    std::deque<std::uint8_t> toHost;
    std::string fromHost;
    std::string openedOn;
    std::vector<unsigned> bauds;
    unsigned refused = 0; // a speed this line cannot take
    bool vanish = false;
    bool stuck = false;   // writes wait, as on an adapter that takes nothing
    bool writing = false; // a write is waiting
    bool open = false;
    bool destroyed = false;
    QThread* usedBy = nullptr; // the last thread that read
    QThread* closedBy = nullptr;

    void send(const std::string& bytes) {
        const std::lock_guard<std::mutex> lock(mutex);
        toHost.insert(toHost.end(), bytes.begin(), bytes.end());
        came.notify_all();
    }
    std::string heard() {
        const std::lock_guard<std::mutex> lock(mutex);
        return fromHost;
    }
    template <typename T> T get(T Line::*field) {
        const std::lock_guard<std::mutex> lock(mutex);
        return this->*field;
    }
};

class HeldLine final : public Transport {
public:
    explicit HeldLine(std::shared_ptr<Line> line) : line_(std::move(line)) {}
    ~HeldLine() override {
        const std::lock_guard<std::mutex> lock(line_->mutex);
        line_->destroyed = true;
    }
    void open(const std::string& port, unsigned baud) override {
        const std::lock_guard<std::mutex> lock(line_->mutex);
        if (port == "COM9")
            throw PortError(PortFault::Busy, "occupé");
        line_->openedOn = port;
        line_->bauds.push_back(baud);
        line_->open = true;
    }
    void write(std::span<const std::uint8_t> bytes) override {
        std::unique_lock<std::mutex> lock(line_->mutex);
        line_->writing = true;
        line_->came.wait(lock, [this] { return !line_->stuck; });
        line_->writing = false;
        line_->fromHost.append(bytes.begin(), bytes.end());
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        std::unique_lock<std::mutex> lock(line_->mutex);
        line_->usedBy = QThread::currentThread();
        line_->came.wait_for(lock, timeout,
                             [this] { return !line_->toHost.empty() || line_->vanish; });
        if (line_->vanish)
            throw PortError(PortFault::Vanished, "débranché");
        std::size_t n = 0;
        while (n < into.size() && !line_->toHost.empty()) {
            into[n++] = line_->toHost.front();
            line_->toHost.pop_front();
        }
        return n;
    }
    void setBaud(unsigned baud) override {
        const std::lock_guard<std::mutex> lock(line_->mutex);
        if (baud == line_->refused)
            throw PortError(PortFault::SpeedRefused);
        line_->bauds.push_back(baud);
    }
    void close() override {
        const std::lock_guard<std::mutex> lock(line_->mutex);
        if (line_->open)
            line_->closedBy = QThread::currentThread();
        line_->open = false;
    }
    Duration now() const override { return std::chrono::steady_clock::now().time_since_epoch(); }

private:
    std::shared_ptr<Line> line_;
};

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.setPortLister([] { return QList<PortEntry>{{QStringLiteral("COM3"), {}, {}}}; });
        window.setTransportFactory([this] { return std::make_unique<HeldLine>(line); });
    }
    bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }
    QComboBox* speed() { return window.findChild<QComboBox*>(QStringLiteral("speed")); }

    std::shared_ptr<Line> line = std::make_shared<Line>();
    SerialTerminalWindow window;
};

TEST_F(LinkTest, BytesComeAndGoWithoutTheWindowsThreadTouchingThePort) {
    ASSERT_TRUE(window.openPort(QStringLiteral("COM3"), 9600)) << window.statusText().toStdString();
    EXPECT_EQ(line->get(&Line::openedOn), "COM3");
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Terminal série : COM3"));

    line->send("caf\xE9\x07\r\n");
    ASSERT_TRUE(
        waitFor([&] { return window.terminal()->text().startsWith(QStringLiteral("café")); }));

    window.terminal()->setLineEnd(terminal::LineEnd::Cr);
    QTest::keyClicks(window.terminal()->display(), QStringLiteral("ok"));
    QTest::keyClick(window.terminal()->display(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return line->heard() == "ok\r"; })) << line->heard();

    QThread* reader = line->get(&Line::usedBy);
    EXPECT_NE(reader, nullptr);
    EXPECT_NE(reader, QThread::currentThread());
    window.closePort(QString::fromUtf8(kTerminalClosed));
    // The line's thread closes the port on its own, a poll later.
    ASSERT_TRUE(waitFor([&] { return !line->get(&Line::open); }));
    EXPECT_EQ(line->get(&Line::closedBy), reader) << "closed by the thread that used it";
    EXPECT_EQ(window.statusText(), QString::fromUtf8(kTerminalClosed));
    EXPECT_FALSE(window.terminal()->inputEnabled());
}

TEST_F(LinkTest, TheSpeedFollowsTheFieldAndARefusedOneKeepsThePortOpen) {
    ASSERT_TRUE(window.openPort(QStringLiteral("COM3"), 9600));
    speed()->setEditText(QStringLiteral("4800"));
    emit speed()->lineEdit()->editingFinished();
    ASSERT_TRUE(waitFor([&] { return line->get(&Line::bauds).size() == 2; }));
    EXPECT_EQ(line->get(&Line::bauds).back(), 4800u);
    ASSERT_TRUE(waitFor([&] { return window.statusText().contains(QStringLiteral("4800")); }));

    {
        const std::lock_guard<std::mutex> lock(line->mutex);
        line->refused = 31250;
    }
    speed()->setEditText(QStringLiteral("31250"));
    emit speed()->lineEdit()->editingFinished();
    ASSERT_TRUE(waitFor([&] { return window.statusText().contains(QStringLiteral("31250")); }));
    EXPECT_TRUE(window.isOpen());
    EXPECT_EQ(line->get(&Line::bauds).back(), 4800u);

    speed()->setEditText(QStringLiteral("vite"));
    emit speed()->lineEdit()->editingFinished();
    EXPECT_EQ(window.statusText(), QString::fromUtf8(kBadSpeed));
}

TEST_F(LinkTest, ALineThatGoesAwayClosesThePortAndSaysWhy) {
    ASSERT_TRUE(window.openPort(QStringLiteral("COM3"), 9600));
    {
        const std::lock_guard<std::mutex> lock(line->mutex);
        line->vanish = true;
        line->came.notify_all();
    }
    ASSERT_TRUE(waitFor([&] { return !window.isOpen(); }));
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("COM3 a disparu")))
        << window.statusText().toStdString();
    EXPECT_FALSE(line->get(&Line::open));
    EXPECT_FALSE(window.terminal()->inputEnabled());

    // A port held by another program is refused in the download's words.
    EXPECT_FALSE(window.openPort(QStringLiteral("COM9"), 9600));
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("COM9")));
    EXPECT_FALSE(window.isOpen());
}

TEST_F(LinkTest, ClosingOnAStuckLineReturnsAtOnceAndTheLineEndsOnItsOwn) {
    auto* terminal = new SerialTerminalWindow;
    terminal->setTransportFactory([this] { return std::make_unique<HeldLine>(line); });
    terminal->show();
    ASSERT_TRUE(terminal->openPort(QStringLiteral("COM3"), 9600))
        << terminal->statusText().toStdString();
    ASSERT_TRUE(waitFor([&] { return line->get(&Line::usedBy) != nullptr; }));
    {
        const std::lock_guard<std::mutex> lock(line->mutex);
        line->stuck = true;
    }
    terminal->terminal()->sendText(QStringLiteral("x"));
    ASSERT_TRUE(waitFor([&] { return line->get(&Line::writing); }));
    const QPointer<QThread> thread = line->get(&Line::usedBy);
    const QThread* reader = thread.data();
    ASSERT_NE(reader, nullptr);

    // The user closes the window: it goes while the write still waits.
    const QPointer<SerialTerminalWindow> window = terminal;
    terminal->close();
    ASSERT_TRUE(waitFor([&] { return window.isNull(); }));
    EXPECT_TRUE(line->get(&Line::writing));
    EXPECT_TRUE(line->get(&Line::open));

    // Once the write is given up, the thread closes the port, drops the
    // transport and deletes itself: nothing is left behind.
    {
        const std::lock_guard<std::mutex> lock(line->mutex);
        line->stuck = false;
        line->came.notify_all();
    }
    ASSERT_TRUE(waitFor([&] { return line->get(&Line::destroyed) && thread.isNull(); }));
    EXPECT_FALSE(line->get(&Line::open));
    EXPECT_EQ(line->get(&Line::closedBy), reader) << "closed by the thread that used it";
}

// Closed from the bar, the port is let go of the same way; the link's
// signals stop at once (a late byte is not shown, a late fault not told).
TEST_F(LinkTest, APortClosedOnAStuckLineSaysNothingMoreAndOpensAgain) {
    ASSERT_TRUE(window.openPort(QStringLiteral("COM3"), 9600));
    ASSERT_TRUE(waitFor([&] { return line->get(&Line::usedBy) != nullptr; }));
    {
        const std::lock_guard<std::mutex> lock(line->mutex);
        line->stuck = true;
    }
    window.terminal()->sendText(QStringLiteral("x"));
    ASSERT_TRUE(waitFor([&] { return line->get(&Line::writing); }));
    const QPointer<QThread> thread = line->get(&Line::usedBy);
    window.closePort(QString::fromUtf8(kTerminalClosed));
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(window.statusText(), QString::fromUtf8(kTerminalClosed));
    // Opened again at once: the port is still held, which is said, not waited for.
    EXPECT_FALSE(window.openPort(QStringLiteral("COM3"), 9600));
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("pas encore libéré")))
        << window.statusText().toStdString();
    EXPECT_EQ(line->get(&Line::bauds).size(), 1u) << "not opened twice";
    {
        const std::lock_guard<std::mutex> lock(line->mutex);
        line->toHost.push_back('!');
        line->vanish = true;
        line->stuck = false;
        line->came.notify_all();
    }
    ASSERT_TRUE(waitFor([&] { return thread.isNull(); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("pas encore libéré")))
        << "nothing said by the line once let go: " << window.statusText().toStdString();
    EXPECT_FALSE(window.terminal()->text().contains(QLatin1Char('!')));

    {
        const std::lock_guard<std::mutex> lock(line->mutex);
        line->vanish = false;
    }
    ASSERT_TRUE(window.openPort(QStringLiteral("COM3"), 9600));
    EXPECT_TRUE(window.isOpen());
}

TEST_F(LinkTest, ALineHandedOverKeepsWhatCameBeforeAndTakesTheProgramsSpeed) {
    auto transport = std::make_unique<HeldLine>(line);
    transport->open("COM3", 1200);
    // What the program says between the load's end and the terminal's start.
    line->send("lu");
    auto* link = new SerialLink(std::move(transport), QStringLiteral("COM3"), 1200);
    window.adopt(link, QStringLiteral("COM3"), 9600, QByteArray("Bonjour, "));
    EXPECT_EQ(link->parent(), &window);
    ASSERT_TRUE(waitFor([&] {
        return window.terminal()->text().startsWith(QStringLiteral("Bonjour, lu"));
    })) << window.terminal()->text().toStdString();
    ASSERT_TRUE(waitFor([&] { return line->get(&Line::bauds).back() == 9600u; }));
    EXPECT_EQ(window.baud(), 9600u);
    // The load's word stays: the program's speed was not the user's change.
    QTest::qWait(50);
    EXPECT_TRUE(window.statusText().contains(QStringLiteral("9600")));
    EXPECT_FALSE(window.statusText().startsWith(QStringLiteral("COM3 ouvert")))
        << window.statusText().toStdString();

    // The window's end ends the line.
    window.closePort(QString());
    EXPECT_TRUE(waitFor([&] { return !line->get(&Line::open); }));
}

} // namespace
} // namespace kavrel::board::test
