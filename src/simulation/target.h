#pragma once

// What a debugging window drives: the simulator (Controller) or a board
// through its talker (BoardController). Each lives on a worker thread of its
// own; the window posts the commands below to it, in order, and draws the
// `updated` snapshots it answers with (see controller.h for how). Inputs that
// only a simulated machine has (switches, knobs, the lab board's keys) do
// nothing on a board: its pins are real.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

#include "simulation/debug_model.h"
#include "simulation/snapshot.h"

namespace kavrel::simulation {

struct Update;

// Addresses a pane shows: [first, first + count).
struct MemorySpan {
    std::uint16_t first = 0;
    std::uint16_t count = 0;
};

class Target : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Any thread: ends a run, or the call in progress, as soon as it can.
    virtual void requestStop() = 0;
    // Any thread: the window is closing; what is under way ends at once.
    virtual void abandon() { requestStop(); }

    // --- posted to the worker thread ---
    // The window has drawn the last running update: the next may go.
    virtual void updateTaken() = 0;
    // Back to the program's start (the simulator: a power-on reset).
    virtual void reset() = 0;
    virtual void step() = 0;
    virtual void stepOver() = 0;
    virtual void stepOut() = 0;
    virtual void run() = 0;
    virtual void runTo(std::uint16_t address) = 0;
    // "Arrêter", after the commands posted before.
    virtual void halt() = 0;
    virtual void setDebugState(const DebugState& state) = 0;
    virtual void setRegisters(sim11::Registers registers) = 0;
    // An edit of one byte from the memory pane; the EEPROM's range is
    // programmed as the chip programs it. One refused is said in an update.
    virtual void writeMemory(std::uint16_t address, std::uint8_t value) = 0;
    virtual void type(QByteArray bytes) = 0;

    // The chip's own memories: programming ends with chipProgrammed, a read
    // of CONFIG with configRead.
    virtual void programEeprom(std::uint16_t address, QByteArray bytes) = 0;
    virtual void programConfig(std::uint8_t value) = 0;
    virtual void readConfig() = 0;

    // A target that reads its machine through a slow line (a board) reads
    // only what the panes show, and again on refresh(); the simulator hands
    // over the whole memory at every update.
    virtual void setShownMemory(std::vector<MemorySpan>) {}
    virtual void refresh() {}

    // The simulated machine's inputs; nothing on a board.
    virtual void pinReset() {}
    virtual void setPortInputs(Port, std::uint8_t) {}
    virtual void setAnalog(int, std::uint8_t) {}
    virtual void setIrq(bool) {}
    virtual void setXirq(bool) {}
    virtual void pressKey(int, int, bool) {}
    virtual void pressButton(int, bool) {}
    virtual void setPot(int, double) {}

signals:
    void updated(const kavrel::simulation::Update& update);
    // The end of programEeprom or programConfig: what was done, or why not.
    void chipProgrammed(bool ok, const QString& message);
    // (done, total) bytes of an EEPROM programming under way.
    void chipProgress(qulonglong done, qulonglong total);
    // CONFIG in force, and as the next reset will take it; ok false with why.
    void configRead(bool ok, quint8 inForce, quint8 atReset, const QString& message);
};

} // namespace kavrel::simulation
