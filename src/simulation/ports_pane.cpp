#include "simulation/ports_pane.h"

#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "common/hex_text.h"
#include "simulation/memory_format.h"
#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

namespace {

const QColor kLedOn(0xE8, 0x20, 0x20);
const QColor kLedOff(0x58, 0x22, 0x22);
const QColor kSwitchHigh(0x30, 0xA0, 0x40);
const QColor kSwitchLow(0x90, 0x90, 0x90);
const QColor kChangedRing(0xF0, 0xB0, 0x00);

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

const QLocale& french() {
    static const QLocale locale(QLocale::French, QLocale::France);
    return locale;
}

} // namespace

PinButton::PinButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setEnabled(false);
}

void PinButton::setState(PinKind kind, bool level, bool changed) {
    if (kind == kind_ && level == level_ && changed == changed_)
        return;
    kind_ = kind;
    level_ = level;
    changed_ = changed;
    // Only a switch is the user's to throw.
    setEnabled(kind == PinKind::Input);
    update();
}

QSize PinButton::sizeHint() const {
    const int side = fontMetrics().height() + 8;
    return {side, side + side / 2};
}

void PinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(2, 2, -2, -2);
    const qreal side = std::min(area.width(), area.height() * 2 / 3);
    if (kind_ == PinKind::Absent) {
        painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
        painter.drawEllipse(QRectF(0, 0, side * 0.6, side * 0.6)
                                .translated(area.center() - QPointF(side * 0.3, side * 0.3)));
        return;
    }
    const QPen ring = changed_ ? QPen(kChangedRing, 3) : QPen(palette().color(QPalette::Dark), 1);
    if (kind_ == PinKind::Output) {
        const QRectF led(area.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
        painter.setPen(ring);
        painter.setBrush(level_ ? kLedOn : kLedOff);
        painter.drawEllipse(led.adjusted(1, 1, -1, -1));
        return;
    }
    // A slide switch: the knob up for a high level.
    const QRectF track(area.center() - QPointF(side / 3, area.height() / 2),
                       QSizeF(side * 2 / 3, area.height()));
    painter.setPen(ring);
    painter.setBrush(level_ ? kSwitchHigh : kSwitchLow);
    painter.drawRoundedRect(track, 3, 3);
    const QRectF knob(track.left() + 2, level_ ? track.top() + 2 : track.center().y() + 1,
                      track.width() - 4, track.height() / 2 - 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Button));
    painter.drawRoundedRect(knob, 2, 2);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

PortsPane::PortsPane(QWidget* parent)
    : QWidget(parent), irq_(new QPushButton(QString::fromUtf8(texts::kIrq))),
      xirq_(new QPushButton(QString::fromUtf8(texts::kXirq))),
      reset_(new QPushButton(QString::fromUtf8(texts::kResetButton))), irqLine_(new QLabel),
      xirqLine_(new QLabel) {
    setObjectName(QStringLiteral("PortsPane"));

    // One row a port, bit 7 on the left as in the data sheets.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    for (int bit = 7; bit >= 0; --bit) {
        auto* number = new QLabel(QString::number(bit));
        number->setAlignment(Qt::AlignCenter);
        grid->addWidget(number, 0, 8 - bit);
    }
    for (int p = 0; p < portCount; ++p) {
        const auto port = static_cast<Port>(p);
        grid->addWidget(
            new QLabel(QString::fromUtf8(texts::kPortLabel).arg(QLatin1Char(portLetter(port)))),
            p + 1, 0);
        for (int bit = 7; bit >= 0; --bit) {
            auto* pin = new PinButton;
            pin->setObjectName(qs(pinName(port, bit)));
            pins_[p][bit] = pin;
            grid->addWidget(pin, p + 1, 8 - bit, Qt::AlignCenter);
            connect(pin, &PinButton::clicked, this, [this, port, bit] { toggle(port, bit); });
        }
        values_[p] = new QLabel(QStringLiteral("$00"));
        values_[p]->setObjectName(QStringLiteral("Port%1Value").arg(QLatin1Char(portLetter(port))));
        values_[p]->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        grid->addWidget(values_[p], p + 1, 9);
    }
    grid->setColumnStretch(10, 1);

    // The eight A/D inputs share port E's pins.
    auto* analogBox = new QGroupBox(QString::fromUtf8(texts::kAnalogGroup));
    auto* analogGrid = new QGridLayout(analogBox);
    for (int channel = 0; channel < 8; ++channel) {
        Analog& a = analog_[channel];
        a.slider = new QSlider(Qt::Horizontal);
        a.slider->setObjectName(QStringLiteral("AN%1").arg(channel));
        a.slider->setRange(0, 255);
        // Each named by its pin: the group's title alone names all eight alike.
        a.slider->setAccessibleName(QString::fromUtf8(texts::kAnalogInput).arg(channel));
        a.volts = new QDoubleSpinBox;
        a.volts->setObjectName(QStringLiteral("AN%1Volts").arg(channel));
        a.volts->setLocale(french());
        a.volts->setRange(0.0, kReferenceVolts);
        a.volts->setDecimals(2);
        a.volts->setSingleStep(0.1);
        a.volts->setSuffix(QString::fromUtf8(texts::kVoltsSuffix));
        a.volts->setKeyboardTracking(false);
        a.volts->setAccessibleName(QString::fromUtf8(texts::kAnalogVolts).arg(channel));
        a.counts = new QLabel(QStringLiteral("$00"));
        a.counts->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        analogGrid->addWidget(new QLabel(QString::fromUtf8(texts::kAnalogLabel).arg(channel)),
                              channel, 0);
        analogGrid->addWidget(a.slider, channel, 1);
        analogGrid->addWidget(a.volts, channel, 2);
        analogGrid->addWidget(a.counts, channel, 3);
        connect(a.slider, &QSlider::valueChanged, this, [this, channel](int value) {
            setAnalog(channel, static_cast<std::uint8_t>(value), true);
        });
        connect(a.volts, &QDoubleSpinBox::valueChanged, this,
                [this, channel](double volts) { setAnalog(channel, voltsToCounts(volts), true); });
    }
    analogGrid->setColumnStretch(1, 1);

    auto* lines = new QGroupBox(QString::fromUtf8(texts::kInterruptsGroup));
    auto* linesLayout = new QHBoxLayout(lines);
    irq_->setObjectName(QStringLiteral("IRQ"));
    xirq_->setObjectName(QStringLiteral("XIRQ"));
    reset_->setObjectName(QStringLiteral("RESET"));
    irq_->setToolTip(QString::fromUtf8(texts::kIrqTip));
    xirq_->setToolTip(QString::fromUtf8(texts::kXirqTip));
    reset_->setToolTip(QString::fromUtf8(texts::kResetTip));
    irqLine_->setObjectName(QStringLiteral("IRQLine"));
    xirqLine_->setObjectName(QStringLiteral("XIRQLine"));
    irqLine_->setText(QString::fromUtf8(texts::kLineIdle));
    xirqLine_->setText(QString::fromUtf8(texts::kLineIdle));
    linesLayout->addWidget(irq_);
    linesLayout->addWidget(irqLine_);
    linesLayout->addSpacing(12);
    linesLayout->addWidget(xirq_);
    linesLayout->addWidget(xirqLine_);
    linesLayout->addStretch(1);
    linesLayout->addWidget(reset_);
    connect(irq_, &QPushButton::pressed, this, [this] { emit irqChanged(true); });
    connect(irq_, &QPushButton::released, this, [this] { emit irqChanged(false); });
    connect(xirq_, &QPushButton::pressed, this, [this] { emit xirqChanged(true); });
    connect(xirq_, &QPushButton::released, this, [this] { emit xirqChanged(false); });
    connect(reset_, &QPushButton::clicked, this, &PortsPane::resetPressed);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(grid);
    layout->addWidget(analogBox);
    layout->addWidget(lines);
    analogBox_ = analogBox;
    linesBox_ = lines;
    layout->addStretch(1);
}

PinButton* PortsPane::pin(Port port, int bit) const {
    return pins_[static_cast<int>(port)][bit];
}

void PortsPane::showSnapshot(const Snapshot& now, bool stopped) {
    if (!haveInputs_) {
        // The switches start where the machine's inputs are.
        for (int p = 0; p < portCount; ++p)
            inputs_[p] = now.ports[p].pins;
        haveInputs_ = true;
    }
    if (haveStop_)
        reference_ = lastStop_;
    for (int p = 0; p < portCount; ++p) {
        const PortState& state = now.ports[p];
        const std::uint8_t changed = haveStop_ ? changedPins(reference_[p], state) : 0;
        for (int bit = 0; bit < 8; ++bit) {
            const auto mask = static_cast<std::uint8_t>(1u << bit);
            const PinKind kind = pinKind(state, bit);
            // A switch shows where the user left it, the machine's pins
            // catch up with the next slice.
            const bool level = kind == PinKind::Input && !readBack_ ? (inputs_[p] & mask) != 0
                                                                    : (state.pins & mask) != 0;
            PinButton* pin = pins_[p][bit];
            pin->setState(kind, level, (changed & mask) != 0);
            if (readBack_)
                pin->setEnabled(false);
            const QString name = pin->objectName();
            const QString tip = kind == PinKind::Absent   ? QString::fromUtf8(texts::kAbsentTip)
                                : kind == PinKind::Output ? QString::fromUtf8(texts::kOutputTip)
                                                          : QString::fromUtf8(texts::kInputTip);
            pin->setToolTip(kind == PinKind::Absent ? tip.arg(name)
                                                    : tip.arg(name).arg(level ? 1 : 0));
        }
        values_[p]->setText(qs(hex::byte(state.pins & state.present)));
    }
    for (int channel = 0; channel < 8; ++channel)
        if (!analog_[channel].slider->isSliderDown() && !analog_[channel].volts->hasFocus())
            setAnalog(channel, now.analog[channel], false);
    irqLine_->setText(QString::fromUtf8(now.irqLine ? texts::kLineAsserted : texts::kLineIdle));
    xirqLine_->setText(QString::fromUtf8(now.xirqLine ? texts::kLineAsserted : texts::kLineIdle));
    if (stopped) {
        lastStop_ = now.ports;
        haveStop_ = true;
    }
}

void PortsPane::setReadBack(bool on) {
    readBack_ = on;
    analogBox_->setVisible(!on);
    linesBox_->setVisible(!on);
}

void PortsPane::toggle(Port port, int bit) {
    const int p = static_cast<int>(port);
    PinButton* pin = pins_[p][bit];
    if (!pin->isInput() || readBack_)
        return;
    inputs_[p] = static_cast<quint8>(inputs_[p] ^ (1u << bit));
    pin->setState(pin->kind(), (inputs_[p] >> bit) & 1, pin->changed());
    emit inputChanged(port, inputs_[p]);
}

void PortsPane::setAnalog(int channel, std::uint8_t counts, bool fromUser) {
    Analog& a = analog_[channel];
    const bool changed = a.slider->value() != counts || voltsToCounts(a.volts->value()) != counts;
    {
        const QSignalBlocker blockSlider(a.slider);
        const QSignalBlocker blockVolts(a.volts);
        a.slider->setValue(counts);
        a.volts->setValue(countsToVolts(counts));
    }
    a.counts->setText(qs(hex::byte(counts)));
    a.slider->setToolTip(qs(formatVolts(counts)));
    if (fromUser && changed)
        emit analogChanged(channel, counts);
}

} // namespace kavrel::simulation
