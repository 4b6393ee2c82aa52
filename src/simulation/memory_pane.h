#pragma once

// The memory pane: the 64K of the machine in hexadecimal and characters, the
// chip's register block named, the bytes changed at the last step or run
// marked. It never touches the machine: edits go out as a signal, watched
// bytes are the debugging model's, and what it shows comes from snapshots.
#include <QMap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "simulation/snapshot.h"

class QLabel;
class QLineEdit;
class QTableView;
class QTabWidget;

namespace kavrel::simulation {

class DebugModel;
struct MemoryState;
class MemoryModel;
class ChipRegistersModel;

class MemoryPane : public QWidget {
    Q_OBJECT
public:
    explicit MemoryPane(DebugModel& debug, QWidget* parent = nullptr);
    ~MemoryPane() override;

    // Changes are counted from the previous snapshot taken stopped; edits are
    // allowed only while stopped.
    void showSnapshot(const Snapshot& now, bool stopped);
    // The program's symbols, for "Aller à".
    void setSymbols(const QMap<QString, quint16>& symbols);

    // Shows that address, its cell current. False (and a message in the
    // pane) when the text names no address.
    bool goTo(const QString& text);
    void goToAddress(quint16 address);
    // The address of the current cell.
    quint16 currentAddress() const;
    // Says that the machine did not take an edit there: the next snapshot
    // shows the byte as it is.
    void tellRefused(quint16 address);
    // The same, when the machine said why (an EEPROM byte not programmed, ROM).
    void tellRefused(quint16 address, const QString& why);

    QTableView* memoryView() const { return memoryView_; }
    QTableView* registersView() const { return registersView_; }
    QString statusText() const;

signals:
    void byteEdited(quint16 address, quint8 value);

private:
    void describeCurrent();
    void refreshViews();
    void showContextMenu(const QPoint& at);
    void copyRows();

    DebugModel& debug_;
    std::unique_ptr<MemoryState> state_;
    MemoryModel* memory_;
    ChipRegistersModel* registers_;
    QTabWidget* tabs_;
    QTableView* memoryView_;
    QTableView* registersView_;
    QLineEdit* goTo_;
    QLabel* status_;
    QMap<QString, quint16> symbols_;
};

} // namespace kavrel::simulation
