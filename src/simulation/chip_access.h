#pragma once

// What the EEPROM and CONFIG dialogs act on, the same way whichever it is:
// the chip of a simulation or board window (through the window's own
// target), or a board reached for these commands alone (chip_board.h).
// Every request ends with one signal; the user-interface thread never waits
// for the chip.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <vector>

#include "board/config_register.h"

namespace kavrel::simulation {

class SimulationWindow;

class ChipAccess : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // « Simulation : <source> », "carte sur <port>".
    virtual QString targetText() const = 0;
    // The part CONFIG is read as, and the parts it may be: the simulated
    // chip's or the one the user named; any of the family's on a board
    // window, which knows the family alone.
    board::Part part() const { return part_; }
    void setPart(board::Part part) { part_ = part; }
    virtual std::vector<board::Part> possibleParts() const { return {part_}; }
    // The address ranges of the program the target holds, for what a change
    // of CONFIG would take from it.
    virtual std::vector<board::AddressRange> programRanges() const = 0;

    virtual void readConfig() = 0;
    virtual void programConfig(std::uint8_t value) = 0;
    virtual void programEeprom(std::uint16_t address, QByteArray bytes) = 0;
    // The request under way ends as soon as it can, told by its signal.
    virtual void cancel() = 0;

signals:
    void configRead(bool ok, quint8 inForce, quint8 atReset, const QString& message);
    void progress(qulonglong done, qulonglong total);
    void programmed(bool ok, const QString& message);

protected:
    board::Part part_ = board::Part::E9;
};

// The chip of a simulation or board window.
class WindowChipAccess final : public ChipAccess {
    Q_OBJECT
public:
    explicit WindowChipAccess(SimulationWindow* window, QObject* parent = nullptr);

    QString targetText() const override;
    std::vector<board::Part> possibleParts() const override;
    std::vector<board::AddressRange> programRanges() const override;
    void readConfig() override;
    void programConfig(std::uint8_t value) override;
    void programEeprom(std::uint16_t address, QByteArray bytes) override;
    void cancel() override;

private:
    void tellGone();

    QPointer<SimulationWindow> window_;
};

} // namespace kavrel::simulation
