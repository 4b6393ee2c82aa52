// Starts the program as a user would (Main, offscreen), opens `count`
// documents of the largest size through LoadFile, lets every window paint,
// and prints the resident memory in bytes.
//   kavrel_rss_probe <count>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/principal.h"
#include "editor/document_format.h"
#include "editor/documents.h"
#include "soak/memory.h"

namespace {

// An assembler source of exactly the largest size a document may have.
std::string sourceBytes(int seed) {
    const std::string line = "boucle" + std::to_string(seed) +
                             "\tldaa\t#$1F\t; r\xE9p\xE8te tant que le compteur n'est pas nul\r\n";
    std::string bytes;
    while (bytes.size() < kavrel::editor::kMaxLoadBytes)
        bytes += line;
    bytes.resize(kavrel::editor::kMaxLoadBytes - 2);
    return bytes + "\r\n";
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 0;
    QTemporaryDir folder;
    auto principal = kavrel::Main(QCoreApplication::applicationDirPath());
    if (!QTest::qWaitForWindowExposed(principal.get()))
        return 1;
    for (int i = 0; i < count; ++i) {
        const QString path = folder.filePath(QStringLiteral("doc_%1.asc").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        const std::string bytes = sourceBytes(i);
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        file.close();
        kavrel::editor::LoadFile(*principal, QDir::toNativeSeparators(path));
    }
    // Let the windows lay out and paint, as they would on a screen.
    QTest::qWait(300);
    std::printf("%zu\n", kavrel::test::residentBytesAfterTrim());
    return 0;
}
