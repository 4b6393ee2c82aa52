#include "fakes/ui_fixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace kavrel::test {

namespace {

QStringList newProgramFiles() {
#ifdef _WIN32
    return QDir(QStringLiteral("c:/")).entryList({QStringLiteral("Prog_*"), QStringLiteral("Test.*")}, QDir::Files);
#else
    return {};
#endif
}

} // namespace

void UiTest::SetUp() {
    newProgramFilesBefore_ = newProgramFiles();
    ASSERT_TRUE(programDir.isValid());
    ASSERT_TRUE(docs.isValid());
    // New programs of each test land in a home folder of its own.
    qputenv("HOME", QFile::encodeName(docs.path()));
    auto messageBoxes = std::make_unique<ScriptedMessageBoxes>();
    auto commonDialog = std::make_unique<ScriptedCommonDialog>();
    boxes = messageBoxes.get();
    dialogs = commonDialog.get();
    principal = Main(programDirPath(), std::move(messageBoxes), std::move(commonDialog));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(principal.get()));
}

void UiTest::TearDown() {
    // Leave without prompts: whatever a test left modified is dropped.
    if (principal) {
        for (Editeur* editor : principal->editors())
            editor->setText_Changed(false);
        principal->close();
        principal.reset();
    }
    for (const QString& name : newProgramFiles())
        if (!newProgramFilesBefore_.contains(name))
            QFile::remove(QStringLiteral("c:/") + name);
}

QAction* UiTest::action(const char* name) const {
    return principal->findChild<QAction*>(QString::fromLatin1(name));
}

void UiTest::trigger(const char* name) {
    QAction* item = action(name);
    ASSERT_NE(item, nullptr) << name;
    item->trigger();
}

QString UiTest::docPath(const QString& name) const {
    return QDir::toNativeSeparators(docs.filePath(name));
}

std::string UiTest::text(const Editeur* editor) const {
    return std::string(editor->texte()->buffer());
}

void UiTest::type(const QString& keys) {
    QTest::keyClicks(active()->texte(), keys);
}

std::string readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll().toStdString();
}

void writeBytes(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

} // namespace kavrel::test
