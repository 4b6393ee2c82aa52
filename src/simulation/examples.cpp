#include "simulation/examples.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "editor/documents.h"
#include "editor/editeur.h"
#include "platform/failure.h"
#include "simulation/simulation_commands.h"
#include "simulation/simulation_window.h"
#include "workspace/workspace.h"

namespace kavrel::simulation {

namespace {

constexpr const char* kInstalledFolder = "exemples";
constexpr const char* kOpening = "Ouverture de l'exemple";

// The window's board chosen by its key, where the window offers the choice.
template <typename Window>
void chooseBoard(Window& window, const QString& key) {
    if constexpr (requires { window.selectBoard(key); })
        window.selectBoard(key);
}

} // namespace

QString installedExamplesFolder(const QString& programDir) {
    return QDir(programDir).filePath(QString::fromLatin1(kInstalledFolder));
}

QString userExamplesFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).filePath(QStringLiteral("Kavrel/Exemples"));
}

QString copyExample(const QString& programDir, const Example& example) {
    const QString name = QString::fromUtf8(example.file);
    const QString folder = userExamplesFolder();
    const QString copy = QDir(folder).filePath(name);
    // The user's copy is theirs: opened as it is, whatever they made of it.
    if (QFileInfo::exists(copy))
        return QDir::toNativeSeparators(copy);
    const QString original = QDir(installedExamplesFolder(programDir)).filePath(name);
    if (!QFileInfo(original).isFile())
        throw Failure(kOpening, QDir::toNativeSeparators(original).toStdString(),
                      "l'exemple est introuvable : réinstallez Kavrel");
    if (!QDir().mkpath(folder))
        throw Failure(kOpening, QDir::toNativeSeparators(folder).toStdString(),
                      "impossible de créer le dossier des exemples");
    if (!QFile::copy(original, copy))
        throw Failure(kOpening, QDir::toNativeSeparators(copy).toStdString(),
                      "impossible d'écrire la copie de l'exemple");
    // An installed file may be read-only; the copy is the user's to edit.
    QFile(copy).setPermissions(QFile(copy).permissions() | QFileDevice::WriteOwner |
                               QFileDevice::WriteUser);
    return QDir::toNativeSeparators(copy);
}

void OpenExample(Workspace& workspace, std::size_t index) {
    if (index >= kExamples.size())
        return;
    const Example& example = kExamples[index];
    const QString copy = copyExample(workspace.programDir(), example);
    // Chosen again while its copy is open: that editor, with what the user
    // typed in it, rather than a second one on the same file.
    Editeur* open = nullptr;
    for (Editeur* editor : workspace.editors())
        if (QFileInfo(editor->caption()) == QFileInfo(copy))
            open = editor;
    if (open)
        workspace.activateEditor(open);
    else
        editor::LoadFile(workspace, copy);
    // Simulated at once on its board: the user reads the source beside the
    // window and only has to press "Exécuter".
    Simulate(workspace);
    if (SimulationWindow* window = simulationOf(workspace, copy))
        chooseBoard(*window, QString::fromUtf8(example.board));
}

} // namespace kavrel::simulation
