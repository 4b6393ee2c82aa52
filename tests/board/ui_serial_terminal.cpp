// "Terminal série" in the main window at its starting size and wider: every
// text whole and within sight, each label before the field it names, the
// port's message whole however long its path.
#include "board/board_texts.h"
#include "board/serial_terminal.h"
#include "fakes/ui_fixture.h"
#include "terminal/terminal_widget.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
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
            << " in " << room.width() << "x" << room.height();
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
                  port->fontMetrics().horizontalAdvance(port->lineEdit()->placeholderText()));
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

} // namespace
