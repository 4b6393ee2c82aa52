// The terminal widget as a user drives it: what keys send, what the screen
// shows of what came, a file sent, the cap on what is kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include "terminal/terminal_widget.h"

using namespace kavrel::terminal;

namespace {

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        terminal.resize(600, 300);
        terminal.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&terminal));
    }
    QWidget* screen() { return terminal.display(); }
    // Everything sent since the start.
    QByteArray sent() const {
        QByteArray all;
        for (const auto& args : spy)
            all += args.at(0).toByteArray();
        return all;
    }
    void typeText(const QString& text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(screen(), &press);
    }

    TerminalWidget terminal;
    QSignalSpy spy{&terminal, &TerminalWidget::bytesTyped};
};

} // namespace

TEST_F(TerminalTest, KeysSendWhatATerminalSends) {
    QTest::keyClicks(screen(), "MD E000");
    QTest::keyClick(screen(), Qt::Key_Return);
    EXPECT_EQ(sent(), QByteArray("MD E000\r"));

    spy.clear();
    terminal.setLineEnd(LineEnd::CrLf);
    QTest::keyClick(screen(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(screen(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(screen(), Qt::Key_Backspace);
    QTest::keyClick(screen(), Qt::Key_Escape);
    QTest::keyClick(screen(), Qt::Key_Tab);
    typeText(QStringLiteral("\u00E9\u20AC\u03C0"));
    EXPECT_EQ(sent(), QByteArray("\r\n\x03\x08\x1B\t\xE9\x80?"));
    // Nothing typed lands in the screen without echo.
    EXPECT_TRUE(terminal.text().isEmpty());
}

TEST_F(TerminalTest, PasteSendsTheClipboardWithEntersLineEnds) {
    QApplication::clipboard()->setText(QStringLiteral("LOAD T\nGO 100\n"));
    QTest::keyClick(screen(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(sent(), QByteArray("LOAD T\rGO 100\r"));
}

TEST_F(TerminalTest, LocalEchoShowsWhatIsTyped) {
    terminal.setLocalEcho(true);
    terminal.setLineEnd(LineEnd::CrLf);
    QTest::keyClicks(screen(), "AB");
    QTest::keyClick(screen(), Qt::Key_Return);
    QTest::keyClicks(screen(), "C");
    QTRY_COMPARE(terminal.text(), QStringLiteral("AB\nC"));
    EXPECT_EQ(terminal.text(), QStringLiteral("AB\nC"));
    EXPECT_EQ(sent(), QByteArray("AB\r\nC"));
}

TEST_F(TerminalTest, ReceivedBytesAreShownAsTheyCame) {
    terminal.appendReceived("\r\nBUFFALO 3.4\r\n>");
    // Shown at the next tick, without a flush.
    QTRY_COMPARE(terminal.text(), QStringLiteral("\nBUFFALO 3.4\n>"));
    EXPECT_EQ(terminal.text(), QStringLiteral("\nBUFFALO 3.4\n>"));
    terminal.appendReceived(QByteArray("\x07\xE9t\xE9\r", 5));
    terminal.flush();
    // The CR waits to know whether a LF follows.
    EXPECT_EQ(terminal.text(), QStringLiteral("\nBUFFALO 3.4\n>\u2407\u00E9t\u00E9"));
    terminal.appendReceived("X");
    terminal.flush();
    EXPECT_TRUE(terminal.text().endsWith(QStringLiteral("\u240DX")));

    QTest::mouseClick(terminal.findChild<QPushButton*>(QStringLiteral("Clear")), Qt::LeftButton);
    EXPECT_TRUE(terminal.text().isEmpty());
    terminal.appendReceived("\nY");
    terminal.flush();
    EXPECT_EQ(terminal.text(), QStringLiteral("\nY"));
}

TEST_F(TerminalTest, AFloodKeepsOnlyTheLastLines) {
    // Far more than is kept, in the small pieces a program sends.
    for (int line = 0; line < 3 * TerminalWidget::kMaxLines; ++line)
        terminal.appendReceived("ligne " + QByteArray::number(line) + "\r\n");
    terminal.flush();
    const QStringList lines = terminal.text().split(u'\n');
    EXPECT_LE(lines.size(), TerminalWidget::kMaxLines);
    EXPECT_GE(lines.size(), TerminalWidget::kMaxLines - 1);
    EXPECT_EQ(lines.at(lines.size() - 2),
              QStringLiteral("ligne %1").arg(3 * TerminalWidget::kMaxLines - 1));
    // A line that never ends does not make one endless block either.
    terminal.appendReceived(QByteArray(100000, '*'));
    terminal.flush();
    EXPECT_LE(terminal.display()->document()->lastBlock().length(), 1025);
}

TEST_F(TerminalTest, SendAFileAsText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("essai.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("S1 ligne\r\nS2\n\xE9");
    file.close();

    terminal.setFileChooser([path] { return path; });
    QTest::mouseClick(terminal.findChild<QPushButton*>(QStringLiteral("SendFile")), Qt::LeftButton);
    EXPECT_EQ(sent(), QByteArray("S1 ligne\rS2\r\xE9"));
    EXPECT_EQ(terminal.statusText(), QStringLiteral("essai.txt envoyé (13 octets)"));

    // A chooser cancelled sends nothing; a file that cannot be read says so.
    spy.clear();
    terminal.setFileChooser([] { return QString(); });
    QTest::mouseClick(terminal.findChild<QPushButton*>(QStringLiteral("SendFile")), Qt::LeftButton);
    EXPECT_FALSE(terminal.sendFile(dir.filePath(QStringLiteral("absent.txt"))));
    EXPECT_TRUE(
        terminal.statusText().startsWith(QStringLiteral("Impossible de lire absent.txt : ")));
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(TerminalTest, NoInputWhileThereIsNobodyToSendTo) {
    terminal.setInputEnabled(false);
    terminal.setLocalEcho(true);
    QTest::keyClicks(screen(), "abc");
    terminal.sendText(QStringLiteral("def"));
    terminal.flush();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(terminal.text().isEmpty());
    EXPECT_FALSE(terminal.findChild<QPushButton*>(QStringLiteral("SendFile"))->isEnabled());
    terminal.setInputEnabled(true);
    QTest::keyClicks(screen(), "g");
    EXPECT_EQ(sent(), QByteArray("g"));
}
