#pragma once

// The boards a simulation window offers: the ones Kavrel ships, then the
// board files of the user's folder (<Documents>/Kavrel/Cartes). A board is
// named by its key: a shipped board's ("tp"), or a board file's path. It is
// read anew at each choice, so that a file edited meanwhile is seen. GUI
// thread only.
#include <QList>
#include <QString>
#include <optional>

#include "simulation/lab.h"

namespace kavrel::simulation {

struct BoardEntry {
    QString key;     // "tp", or a file's path (native separators)
    QString name;    // the board's name, as the list shows it
    QString toolTip; // its file's name
};

// <Documents>/Kavrel/Cartes
QString userBoardsFolder();

// The shipped boards in their order, then the user's board files sorted by
// file name (none when the folder is not there).
QList<BoardEntry> availableBoards();

// Whether `key` names a shipped board rather than a file.
bool isShippedBoard(const QString& key);

// The board `key` names, read now; null with the reason in French (a board
// file's fault with its line: "ligne 12 : …").
std::optional<lab::BoardDescription> readBoard(const QString& key, QString& error);

} // namespace kavrel::simulation
