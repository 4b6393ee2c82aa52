#pragma once

// The CPU's registers in the simulator window: A, B, D, X, Y, SP, PC, CCR
// and its eight flags by letter, the cycle count and the simulated time.
// Editable while the simulation is stopped; a value that changed at the last
// stop is drawn in red and bold (the "changed" property of its field).
#include <QWidget>
#include <array>
#include <optional>
#include <utility>

#include "sim11/machine.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace kavrel::simulation {

struct Snapshot;

class RegistersPane : public QWidget {
    Q_OBJECT
public:
    enum Field { A, B, D, X, Y, SP, PC, CCR, FieldCount };

    explicit RegistersPane(QWidget* parent = nullptr);

    void showSnapshot(const Snapshot& snapshot, bool stopped);

    QLineEdit* field(Field which) const { return fields_[which]; }
    QCheckBox* flag(int bit) const { return flags_[static_cast<std::size_t>(7 - bit)]; }
    QString cyclesText() const;
    QString timeText() const;
    // A target that counts no cycles (a board): these words instead.
    void setClockNote(const QString& cycles, const QString& time);

signals:
    // The user changed a register while stopped.
    void registersEdited(const sim11::Registers& registers);

private:
    void commit(Field which);
    void commitFlags();
    void paintChanged(QWidget* widget, bool changed);

    std::array<QLineEdit*, FieldCount> fields_{};
    std::array<QCheckBox*, 8> flags_{}; // S X H I N Z V C, left to right
    QLabel* cycles_;
    QLabel* time_;
    sim11::Registers shown_;
    std::optional<sim11::Registers> lastStop_;
    bool stopped_ = true;
    std::optional<std::pair<QString, QString>> clockNote_;
};

} // namespace kavrel::simulation
