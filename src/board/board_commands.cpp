#include "board/board_commands.h"

#include "assembly/assemble_commands.h"
#include "board/board_texts.h"
#include "board/download_dialog.h"
#include "board/fill_text.h"
#include "board/monitor_dialog.h"
#include "board/monitor_load.h"
#include "board/serial_terminal.h"
#include "workspace/message_boxes.h"
#include "workspace/workspace.h"

#include <QMdiSubWindow>
#include <QWidget>

namespace kavrel::board {

namespace {

QList<SerialTerminalWindow*> terminals(Workspace& workspace) {
    QList<SerialTerminalWindow*> found;
    for (QMdiSubWindow* window : workspace.subWindows())
        if (auto* terminal = qobject_cast<SerialTerminalWindow*>(window))
            found << terminal;
    return found;
}

// The choices of the last load from this main window, offered by the next one.
class LastChoices : public QObject {
public:
    using QObject::QObject;
    DownloadChoices choices;
};

DownloadChoices& lastChoices(Workspace& workspace) {
    QWidget* window = workspace.window();
    // No meta-object of its own: found by its C++ type, not by findChild().
    for (QObject* child : window->children())
        if (auto* kept = dynamic_cast<LastChoices*>(child))
            return kept->choices;
    return (new LastChoices(window))->choices;
}

SerialTerminalWindow* newTerminal(Workspace& workspace) {
    auto* window = new SerialTerminalWindow;
    workspace.addSubWindow(window);
    return window;
}

} // namespace

SerialTerminalWindow* terminalOn(Workspace& workspace, const QString& port) {
    for (SerialTerminalWindow* terminal : terminals(workspace))
        if (terminal->portName() == port)
            return terminal;
    return nullptr;
}

DownloadDialog* downloadDialog(Workspace& workspace) {
    return workspace.window()->findChild<DownloadDialog*>(QString(), Qt::FindDirectChildrenOnly);
}

void LoadIntoBoard(Workspace& workspace) {
    const QString boo = assembly::AssembleToBOOImage(workspace);
    if (boo.isEmpty())
        return;
    // One download at a time: the dialog of an earlier one gives way.
    if (DownloadDialog* open = downloadDialog(workspace))
        delete open;
    auto* dialog = new DownloadDialog(boo, workspace.window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setChoices(lastChoices(workspace));
    // A terminal holding the port would make the load fail as "busy": the
    // board is being reset into its loader anyway.
    QObject::connect(dialog, &DownloadDialog::aboutToSend, dialog,
                     [&workspace, dialog](const QString& port) {
                         lastChoices(workspace) = dialog->choices();
                         for (SerialTerminalWindow* terminal : terminals(workspace))
                             if (terminal->isOpen() && terminal->portName() == port)
                                 terminal->closePort(QString::fromUtf8(kTerminalLent));
                     });
    QObject::connect(dialog, &DownloadDialog::loaded, dialog,
                     [&workspace, dialog](const QString& port, unsigned, const QByteArray& output,
                                          SerialLink* openLink) {
                         SerialTerminalWindow* terminal = terminalOn(workspace, port);
                         if (!terminal)
                             terminal = newTerminal(workspace);
                         terminal->adopt(openLink, port, dialog->programBaud(), output);
                         workspace.activateSubWindow(terminal);
                         dialog->accept();
                     });
    dialog->open();
}

void SerialTerminal(Workspace& workspace) {
    newTerminal(workspace);
}

namespace {

// The monitor dialog's choices, kept as the download's are.
class LastMonitorChoices : public QObject {
public:
    using QObject::QObject;
    MonitorChoices choices;
};

MonitorChoices& lastMonitorChoices(Workspace& workspace) {
    QWidget* window = workspace.window();
    for (QObject* child : window->children())
        if (auto* kept = dynamic_cast<LastMonitorChoices*>(child))
            return kept->choices;
    return (new LastMonitorChoices(window))->choices;
}

} // namespace

MonitorDialog* monitorDialog(Workspace& workspace) {
    return workspace.window()->findChild<MonitorDialog*>(QString(), Qt::FindDirectChildrenOnly);
}

void LoadThroughMonitor(Workspace& workspace) {
    const QString s19 = assembly::AssembleToS19File(workspace);
    if (s19.isEmpty())
        return;
    if (MonitorDialog* open = monitorDialog(workspace))
        delete open;
    auto* dialog = new MonitorDialog(s19, workspace.window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setChoices(lastMonitorChoices(workspace));
    QObject::connect(dialog, &MonitorDialog::aboutToSend, dialog,
                     [&workspace, dialog](const QString& port) {
                         lastMonitorChoices(workspace) = dialog->choices();
                         for (SerialTerminalWindow* terminal : terminals(workspace))
                             if (terminal->isOpen() && terminal->portName() == port)
                                 terminal->closePort(QString::fromUtf8(kTerminalLent));
                     });
    QObject::connect(
        dialog, &MonitorDialog::loaded, dialog,
        [&workspace, dialog](const QString& port, unsigned baud, const QByteArray& answer,
                             SerialLink* openLink, std::uint16_t entry) {
            const std::string go = goCommand(entry);
            const auto start = workspace.messages().show(
                dialog, QString::fromUtf8(kMonitorStartTitle),
                QString::fromStdString(fillText(kMonitorStartQuestion, {go, port.toStdString()})),
                app::BoxIcon::Information, app::BoxButtons::YesNo);
            if (start != app::BoxAnswer::Yes) {
                // The dialog keeps saying the program is loaded; the port is let go.
                delete openLink;
                return;
            }
            SerialTerminalWindow* terminal = terminalOn(workspace, port);
            if (!terminal)
                terminal = newTerminal(workspace);
            terminal->adopt(openLink, port, baud, answer);
            // Typed as the user would: the monitor repeats it in the terminal, then the program talks.
            if (openLink)
                openLink->write(QByteArray::fromStdString(go + "\r"));
            workspace.activateSubWindow(terminal);
            dialog->accept();
        });
    dialog->open();
}

} // namespace kavrel::board
