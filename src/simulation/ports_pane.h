#pragma once

// The ports pane: each pin of ports A to E as a LED where the chip drives it
// and a switch where the program reads it, the A/D inputs as sliders in
// volts, IRQ and XIRQ as push buttons, and RESET. The user's inputs go out as
// signals, at any time: a switch thrown while the program runs is what a
// board is for. What the pins show comes from snapshots.
#include <QAbstractButton>
#include <QWidget>
#include <array>

#include "simulation/port_levels.h"
#include "simulation/snapshot.h"

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kavrel::simulation {

class PinButton;

class PortsPane : public QWidget {
    Q_OBJECT
public:
    explicit PortsPane(QWidget* parent = nullptr);

    // Pins changed are counted from the previous snapshot taken stopped.
    void showSnapshot(const Snapshot& now, bool stopped);
    // A board's real pins: every pin shows the level read back, none is a
    // switch, and the simulated inputs (A/D, IRQ, XIRQ, RESET) are hidden.
    void setReadBack(bool on);

    // The pin's widget ("PB7"), for tests and accessibility.
    PinButton* pin(Port port, int bit) const;
    QSlider* analogSlider(int channel) const { return analog_[channel].slider; }
    QDoubleSpinBox* analogVolts(int channel) const { return analog_[channel].volts; }
    QPushButton* irqButton() const { return irq_; }
    QPushButton* xirqButton() const { return xirq_; }
    QPushButton* resetButton() const { return reset_; }
    // The levels the switches give each port's inputs.
    quint8 inputLevels(Port port) const { return inputs_[static_cast<int>(port)]; }

signals:
    // Every pin's switch level of that port; the machine takes the inputs.
    void inputChanged(kavrel::simulation::Port port, quint8 levels);
    void analogChanged(int channel, quint8 value);
    void irqChanged(bool asserted);
    void xirqChanged(bool asserted);
    void resetPressed();

private:
    struct Analog {
        QSlider* slider = nullptr;
        QDoubleSpinBox* volts = nullptr;
        QLabel* counts = nullptr;
    };
    void toggle(Port port, int bit);
    void setAnalog(int channel, std::uint8_t counts, bool fromUser);

    std::array<std::array<PinButton*, 8>, portCount> pins_{};
    std::array<QLabel*, portCount> values_{};
    std::array<Analog, 8> analog_{};
    std::array<quint8, portCount> inputs_{};
    std::array<PortState, portCount> lastStop_{};
    std::array<PortState, portCount> reference_{};
    bool haveStop_ = false;
    bool haveInputs_ = false;
    bool readBack_ = false;
    QWidget* analogBox_ = nullptr;
    QWidget* linesBox_ = nullptr;
    QPushButton* irq_;
    QPushButton* xirq_;
    QPushButton* reset_;
    QLabel* irqLine_;
    QLabel* xirqLine_;
};

// One pin: drawn as a LED (an output) or a switch (an input), empty where
// the chip has no such pin. Only a switch can be clicked.
class PinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PinButton(QWidget* parent = nullptr);
    void setState(PinKind kind, bool level, bool changed);
    PinKind kind() const { return kind_; }
    bool isOutput() const { return kind_ == PinKind::Output; }
    bool isInput() const { return kind_ == PinKind::Input; }
    bool level() const { return level_; }
    bool changed() const { return changed_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PinKind kind_ = PinKind::Absent;
    bool level_ = false;
    bool changed_ = false;
};

} // namespace kavrel::simulation
