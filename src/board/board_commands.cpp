#include "board/board_commands.h"

#include "assembly/assemble_commands.h"
#include "board/board_texts.h"
#include "board/download_dialog.h"
#include "board/serial_terminal.h"
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

void LoadThroughMonitor(Workspace&) {}

} // namespace kavrel::board
