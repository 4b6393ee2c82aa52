#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/principal.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kavrel"));

    // Qt's own dialogs and the text box's menu speak French whatever the locale.
    QTranslator qtbase;
    QTranslator qscintilla;
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (auto [translator, name] : {std::pair{&qtbase, "qtbase_fr"}, {&qscintilla, "qscintilla_fr"}})
        if (translator->load(QLatin1String(name), translations) ||
            translator->load(QLatin1String(name), QApplication::applicationDirPath()))
            QApplication::installTranslator(translator);

    auto principal = kavrel::Main(QApplication::applicationDirPath());
    return QApplication::exec();
}
