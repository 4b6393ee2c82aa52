#include "simulation/board_choice.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <string>
#include <vector>

#include "simulation/lab.h"

namespace kavrel::simulation {

QString userBoardsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).filePath(QStringLiteral("Kavrel/Cartes"));
}

bool isShippedBoard(const QString& key) {
    for (const std::string& shipped : lab::shippedBoardKeys())
        if (key == QString::fromStdString(shipped))
            return true;
    return false;
}

QList<BoardEntry> availableBoards() {
    QList<BoardEntry> entries;
    // The chip alone and the evaluation board, then the lab boards from the
    // simplest: the TP board's LCD and keypad before the one-chip board's parts.
    std::vector<std::string> keys;
    for (const char* first : {"chip", "evb", "tp", "monopuce"})
        for (const std::string& key : lab::shippedBoardKeys())
            if (key == first)
                keys.push_back(key);
    for (const std::string& key : lab::shippedBoardKeys())
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    for (const std::string& key : keys) {
        std::string error;
        const std::optional<lab::BoardDescription> description = lab::shippedBoard(key, error);
        const QString file = QString::fromStdString(key) + QStringLiteral(".toml");
        entries.append({QString::fromStdString(key),
                        description ? QString::fromStdString(description->name) : file, file});
    }
    const QString folder = userBoardsFolder();
    if (QFileInfo(folder).isDir())
        for (const lab::BoardFileEntry& file : lab::listBoardFiles(folder.toStdString())) {
            const QString path = QDir::toNativeSeparators(QString::fromStdString(file.path));
            entries.append({path, QString::fromStdString(file.name), path});
        }
    return entries;
}

std::optional<lab::BoardDescription> readBoard(const QString& key, QString& error) {
    std::string why;
    std::optional<lab::BoardDescription> description =
        isShippedBoard(key)
            ? lab::shippedBoard(key.toStdString(), why)
            : lab::readBoardFile(QDir::fromNativeSeparators(key).toStdString(), why);
    if (!description)
        error = QString::fromStdString(why);
    return description;
}

} // namespace kavrel::simulation
