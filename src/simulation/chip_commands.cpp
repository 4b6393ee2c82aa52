#include "simulation/chip_commands.h"

#ifdef KAVREL_WITH_BOARD
#include "board/board_texts.h"
#include "board/eeprom_records.h"
#include "editor/common_dialog.h"
#include "editor/editeur.h"
#include "sim11/s19.h"
#include "simulation/chip_board.h"
#include "simulation/chip_dialogs.h"
#include "simulation/simulation_commands.h"
#include "simulation/simulation_window.h"
#include "workspace/workspace.h"

#include <QFile>
#include <QFileInfo>

#include <functional>
#endif

namespace kavrel::simulation {

#ifdef KAVREL_WITH_BOARD

namespace {

// The active editor's .S19 beside its source, where it was assembled from
// the text as it is: not older than the source, nothing typed since.
QString assembledS19(Workspace& workspace) {
    Editeur* editor = workspace.activeEditor();
    if (!editor || editor->Text_Changed())
        return {};
    const QFileInfo source(editor->caption());
    for (const char* suffix : {".S19", ".s19"}) {
        const QFileInfo s19(source.path() + QLatin1Char('/') + source.completeBaseName() +
                            QLatin1String(suffix));
        if (s19.isFile() && s19.lastModified() >= source.lastModified())
            return s19.filePath();
    }
    return {};
}

// What the program the user works on covers, read from its S19: the
// addresses a change of CONFIG must leave it.
std::vector<board::AddressRange> rangesOf(const QString& s19Path) {
    QFile file(s19Path);
    sim11::S19Image image;
    std::string error;
    if (s19Path.isEmpty() || !file.open(QIODevice::ReadOnly) ||
        !sim11::parseS19(file.readAll().toStdString(), image, error))
        return {};
    std::vector<board::MemoryBlock> blocks;
    for (const sim11::S19Block& block : image.blocks)
        blocks.push_back({block.address, block.bytes});
    return board::coveredRanges(blocks);
}

// Shows `dialog`, which takes `access` with it when it closes.
void showWith(QDialog* dialog, ChipAccess* access) {
    access->setParent(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

// The chip of the active simulation or board window; otherwise a board
// reached through the connection dialog, then `open` with it.
void withChip(Workspace& workspace, const std::function<void(ChipAccess*)>& open) {
    if (SimulationWindow* window = activeSimulation(workspace)) {
        open(new WindowChipAccess(window));
        return;
    }
    auto* connectDialog =
        new BoardConnectDialog(rangesOf(assembledS19(workspace)), workspace.window());
    connectDialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(connectDialog, &QDialog::accepted, workspace.window(), [connectDialog, open] {
        if (BoardChipAccess* access = connectDialog->takeAccess())
            open(access);
    });
    connectDialog->show();
}

} // namespace

void ProgramEeprom(Workspace& workspace) {
    // The file first: without one, no board is disturbed.
    QString s19 = assembledS19(workspace);
    if (s19.isEmpty()) {
        s19 = editor::FileDialog(workspace, QString::fromUtf8(board::kOpenS19Title),
                                 QString::fromUtf8(board::kS19Filter), editor::kModeOpen);
        if (s19.isEmpty())
            return;
    }
    withChip(workspace, [&workspace, s19](ChipAccess* access) {
        showWith(new EepromDialog(workspace, access, s19, workspace.window()), access);
    });
}

void ConfigureChip(Workspace& workspace) {
    withChip(workspace, [&workspace](ChipAccess* access) {
        showWith(new ConfigDialog(workspace, access, workspace.window()), access);
    });
}

#else

void ProgramEeprom(Workspace&) {}
void ConfigureChip(Workspace&) {}

#endif

} // namespace kavrel::simulation
