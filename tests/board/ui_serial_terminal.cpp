// "Terminal série" in the main window at its starting size and wider: every
// text whole and within sight, each label before the field it names, the
// port's message whole however long its path.
#include "board/board_commands.h"
#include "board/board_texts.h"
#include "board/download_dialog.h"
#include "board/monitor_dialog.h"
#include "board/serial_terminal.h"
#include "fakes/ui_fixture.h"
#include "platform/native.h"
#include "terminal/terminal_widget.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace kavrel;
using namespace kavrel::test;

namespace {

QRect inWindow(const QWidget* widget, const QWidget* window) {
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

class SerialTerminalLayout : public UiTest {
protected:
    board::SerialTerminalWindow* openTerminal() {
        trigger("Serial_terminal");
        auto* terminal = principal->findChild<board::SerialTerminalWindow*>();
        if (terminal) {
            terminal->setPortLister([] {
                return QList<board::PortEntry>{{QStringLiteral("/dev/ttyUSB0"), {}, {}}};
            });
            EXPECT_TRUE(QTest::qWaitForWindowExposed(terminal));
        }
        return terminal;
    }

    // Every text the window shows is whole and inside the workspace's view.
    void expectEveryTextWhole(board::SerialTerminalWindow* terminal) {
        QCoreApplication::processEvents();
        QWidget* view = terminal->mdiArea()->viewport();
        const QRect room = view->rect();
        EXPECT_TRUE(room.contains(terminal->geometry()))
            << "window " << terminal->geometry().width() << "x" << terminal->geometry().height()
            << " in " << room.width() << "x" << room.height() << ", font "
            << terminal->font().family().toStdString() << " " << terminal->font().pointSizeF()
            << ", x " << terminal->fontMetrics().horizontalAdvance(QLatin1Char('x'));
        const auto seen = [&](const QWidget* widget) {
            return QRect(widget->mapTo(view, QPoint(0, 0)), widget->size());
        };
        for (QLabel* label : terminal->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(terminal) || label->text().isEmpty())
                continue;
            const std::string text = label->text().toStdString();
            if (label->wordWrap())
                EXPECT_GE(label->height(), label->heightForWidth(label->width())) << text;
            else
                EXPECT_GE(label->contentsRect().width(),
                          label->fontMetrics().horizontalAdvance(label->text()))
                    << text;
            EXPECT_TRUE(room.contains(seen(label))) << text;
        }
        for (QAbstractButton* button : terminal->findChildren<QAbstractButton*>()) {
            if (!button->isVisibleTo(terminal) || button->text().isEmpty())
                continue;
            const std::string text = button->text().toStdString();
            EXPECT_GE(button->width(), button->sizeHint().width()) << text;
            EXPECT_TRUE(room.contains(seen(button))) << text;
        }
        for (QComboBox* combo : terminal->findChildren<QComboBox*>()) {
            if (!combo->isVisibleTo(terminal))
                continue;
            EXPECT_GE(combo->width(), combo->minimumSizeHint().width())
                << combo->objectName().toStdString();
            EXPECT_TRUE(room.contains(seen(combo))) << combo->objectName().toStdString();
        }
        // The hint of an empty port field, which says what it takes.
        auto* port = terminal->findChild<QComboBox*>(QStringLiteral("port"));
        ASSERT_NE(port, nullptr);
        EXPECT_GE(port->lineEdit()->width(),
                  port->fontMetrics().horizontalAdvance(port->lineEdit()->placeholderText()))
            << "x " << port->fontMetrics().horizontalAdvance(QLatin1Char('x')) << ", combo "
            << port->width() << ", family " << port->font().family().toStdString();
        // Room is left for what the board says.
        const QPlainTextEdit* screen = terminal->terminal()->display();
        EXPECT_GE(screen->height(), 4 * screen->fontMetrics().lineSpacing());
    }

    // Each label stands before (or above) the field it names.
    void expectLabelsBeforeFields(board::SerialTerminalWindow* terminal) {
        int named = 0;
        for (QLabel* label : terminal->findChildren<QLabel*>()) {
            QWidget* field = label->buddy();
            if (!field || !label->isVisibleTo(terminal))
                continue;
            ++named;
            const QRect l = inWindow(label, terminal);
            const QRect f = inWindow(field, terminal);
            const bool before =
                l.right() < f.left() && l.top() < f.bottom() && f.top() < l.bottom();
            const bool above = l.bottom() < f.top();
            EXPECT_TRUE(before || above) << label->text().toStdString();
        }
        // Port, speed, and the terminal's own "Entrée envoie :".
        EXPECT_GE(named, 3);
    }
};

TEST_F(SerialTerminalLayout, AtTheStartingSizeAndWiderEveryTextIsWholeAndEachLabelLeadsItsField) {
    board::SerialTerminalWindow* terminal = openTerminal();
    ASSERT_NE(terminal, nullptr);
    expectEveryTextWhole(terminal);
    expectLabelsBeforeFields(terminal);

    principal->resize(1000, 700);
    QCoreApplication::processEvents();
    terminal->resize(terminal->mdiArea()->viewport()->size());
    expectEveryTextWhole(terminal);
    expectLabelsBeforeFields(terminal);
    // At that width the controls stand on one row, the labels beside their fields.
    const auto* port = terminal->findChild<QComboBox*>(QStringLiteral("port"));
    const auto* open = terminal->findChild<QAbstractButton*>(QStringLiteral("openClose"));
    EXPECT_EQ(inWindow(port, terminal).center().y(), inWindow(open, terminal).center().y());
}

TEST_F(SerialTerminalLayout, TheMessageOfAVanishedPortIsWholeAtTheStartingSize) {
    board::SerialTerminalWindow* terminal = openTerminal();
    ASSERT_NE(terminal, nullptr);
    const QString path =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    const QString message = QString::fromUtf8(board::kTerminalVanished).arg(path);
    terminal->closePort(message);
    EXPECT_EQ(terminal->statusText(), message);
    expectEveryTextWhole(terminal);
    // The status as a whole is read where it stands, not behind the terminal.
    auto* status = terminal->findChild<QLabel*>(QStringLiteral("serialStatus"));
    ASSERT_NE(status, nullptr);
    const QRect shown = inWindow(status, terminal);
    EXPECT_LE(shown.bottom(), inWindow(terminal->terminal()->display(), terminal).top());
}

// A board on a COM port (under Wine, sim11 --chip E9 --mode boot --baud 1200
// on a pseudo-terminal mapped to COMn by scripts/test-windows-qt), named by
// KAVREL_COM_BOOT; skipped without it. The road a user takes: the source
// assembled and sent from the menu, then the terminal on the same port.
constexpr const char* kGreeter = R"(REGS    EQU $1000
SCSR    EQU $2E
SCDR    EQU $2F
        ORG $0000
DEBUT   LDS #$01FF
        LDX #REGS
        LDY #SALUT
DIRE    LDAA 0,Y
        BEQ ATTENDRE
        BSR EMET
        INY
        BRA DIRE
ATTENDRE BRCLR SCSR,X,#$20,ATTENDRE
        LDAB SCDR,X
        LDAA #'<'
        BSR EMET
        TBA
        BSR EMET
        LDAA #'>'
        BSR EMET
        BRA ATTENDRE
EMET    BRCLR SCSR,X,#$80,EMET
        STAA SCDR,X
        RTS
SALUT   FCC "Kavrel dit bonjour"
        FCB 13,10,0
)";

class BoardOnAComPort : public UiTest {
protected:
    // The assembler in the program directory, the source open in an editor.
    void open(const char* source) {
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(KAVREL_TEST_ASSEMBLER),
                        programDir.filePath(QString::fromLatin1(platform::kAssemblerName))));
        std::string crlf;
        for (const char c : std::string(source)) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        writeBytes(docPath(QStringLiteral("salut.asc")), crlf);
        dialogs->answers.push_back(docPath(QStringLiteral("salut.asc")));
        trigger("Open_General");
    }
};

TEST_F(BoardOnAComPort, TheMenusLoadThenTheTerminalTalksToTheProgram) {
    const QString port = qEnvironmentVariable("KAVREL_COM_BOOT");
    if (port.isEmpty())
        GTEST_SKIP() << "KAVREL_COM_BOOT absent";
    open(kGreeter);
    trigger("LoadIntoBoard");
    board::DownloadDialog* load = board::downloadDialog(*principal);
    ASSERT_NE(load, nullptr);
    load->findChild<QComboBox*>(QStringLiteral("port"))->setEditText(port);
    load->findChild<QRadioButton*>(QStringLiteral("familyE"))->setChecked(true);
    load->findChild<QComboBox*>(QStringLiteral("speed"))->setEditText(QStringLiteral("1200"));
    QTest::mouseClick(load->findChild<QPushButton*>(QStringLiteral("send")), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return board::downloadDialog(*principal) == nullptr; }, 30000))
        << (board::downloadDialog(*principal)
                ? board::downloadDialog(*principal)->statusText().toStdString()
                : std::string());

    auto* terminal = principal->findChild<board::SerialTerminalWindow*>();
    ASSERT_NE(terminal, nullptr);
    EXPECT_TRUE(terminal->isOpen());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return terminal->terminal()->text().contains(QStringLiteral("Kavrel dit bonjour")); },
        10000))
        << terminal->terminal()->text().toStdString();
    QTest::keyClicks(terminal->terminal()->display(), QStringLiteral("A"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return terminal->terminal()->text().contains(QStringLiteral("<A>")); }, 10000))
        << terminal->terminal()->text().toStdString();
    // Closed by the user: the window goes at once, the port soon after.
    const QPointer<board::SerialTerminalWindow> gone = terminal;
    terminal->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return gone.isNull(); }, 1000));
}

// BUFFALO on the evaluation board (KAVREL_COM_MONITOR): loaded by LOAD T from
// the menu, started with G once the user says Oui, the terminal on the port.
TEST_F(BoardOnAComPort, TheMonitorLoadsFromTheMenuAndTheProgramAnswers) {
    const QString port = qEnvironmentVariable("KAVREL_COM_MONITOR");
    if (port.isEmpty())
        GTEST_SKIP() << "KAVREL_COM_MONITOR absent";
    open(R"(        ORG $0100
DEBUT   LDX #TEXTE
ENVOI   LDAA 0,X
        BEQ FIN
ATTEND  LDAB $102E
        BPL ATTEND
        STAA $102F
        INX
        BRA ENVOI
FIN     BRA FIN
TEXTE   FCC "BONJOUR"
        FCB 13,10,0
        END DEBUT
)");
    trigger("LoadThroughMonitor");
    board::MonitorDialog* load = board::monitorDialog(*principal);
    ASSERT_NE(load, nullptr);
    load->findChild<QComboBox*>(QStringLiteral("port"))->setEditText(port);
    boxes->answers.push_back(app::BoxAnswer::Yes);
    QTest::mouseClick(load->findChild<QPushButton*>(QStringLiteral("send")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return board::monitorDialog(*principal) == nullptr; }, 30000))
        << (board::monitorDialog(*principal)
                ? board::monitorDialog(*principal)->statusText().toStdString()
                : std::string());
    auto* terminal = principal->findChild<board::SerialTerminalWindow*>();
    ASSERT_NE(terminal, nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return terminal->terminal()->text().contains(QStringLiteral("BONJOUR")); }, 10000))
        << terminal->terminal()->text().toStdString();
}

} // namespace
