#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/principal.h"
#include "editor/editeur.h"
#include "fakes/scripted_dialogs.h"

#include <ostream>

// Readable QStrings in assertion messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace kavrel::test {

// A started main window with scripted dialogs, a temporary program directory
// and a temporary working folder for documents.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The program directory the main window is given.
    virtual QString programDirPath() const { return programDir.path(); }

    // Triggers a menu item as a user would.
    void trigger(const char* name);
    QAction* action(const char* name) const;

    Editeur* active() const { return principal->activeEditor(); }
    QString docPath(const QString& name) const; // native separators, in `docs`
    std::string text(const Editeur* editor) const;
    // Types text into the active editor through real key events.
    void type(const QString& keys);

    QTemporaryDir programDir;
    QTemporaryDir docs;
    ScriptedMessageBoxes* boxes = nullptr;
    ScriptedCommonDialog* dialogs = nullptr;
    std::unique_ptr<Principal> principal;

private:
    // On Windows new programs are named at the root of drive C, outside the
    // test's folders, and a BOO job stages Test.asc beside them: what a test
    // leaves there goes, what was there stays.
    QStringList newProgramFilesBefore_;
};

// The whole contents of a file, or "<missing>".
std::string readBytes(const QString& path);
void writeBytes(const QString& path, const std::string& bytes);

} // namespace kavrel::test
