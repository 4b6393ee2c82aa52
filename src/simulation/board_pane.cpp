#include "simulation/board_pane.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "simulation/lab.h"
#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

namespace {

QString tr8(const char* text) {
    return QString::fromUtf8(text);
}
QString tr8(const std::string& text) {
    return QString::fromStdString(text);
}

// A colour between `off` and `on` for a brightness from 0 to 1.
QColor blend(const QColor& off, const QColor& on, double share) {
    share = std::clamp(share, 0.0, 1.0);
    return QColor::fromRgbF(static_cast<float>(off.redF() + (on.redF() - off.redF()) * share),
                            static_cast<float>(off.greenF() + (on.greenF() - off.greenF()) * share),
                            static_cast<float>(off.blueF() + (on.blueF() - off.blueF()) * share));
}

QColor ledColour(const std::string& name) {
    if (name == "vert")
        return QColor(40, 220, 60);
    if (name == "jaune")
        return QColor(250, 220, 30);
    if (name == "orange")
        return QColor(255, 140, 20);
    if (name == "bleu")
        return QColor(40, 120, 255);
    if (name == "blanc")
        return QColor(250, 250, 240);
    return QColor(240, 30, 30);
}

constexpr int kPotSteps = 500; // a potentiometer's slider in hundredths of a volt
constexpr double kPotVolts = 5.0;

} // namespace

// A part drawn by the pane: the LCD, a set of displays or a LED.
class BoardPart : public QWidget {
public:
    using QWidget::QWidget;
    virtual void showPart(const lab::BoardView& view, std::size_t index) = 0;
};

namespace {

// The LCD: each cell's 5x8 pixels on the backlight, the pixels off drawn
// faint as on the glass, a gap between cells.
class LcdPart final : public BoardPart {
public:
    LcdPart() {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        blink_.setInterval(400);
        QObject::connect(&blink_, &QTimer::timeout, this, [this] {
            blinkOn_ = !blinkOn_;
            update();
        });
    }
    void showPart(const lab::BoardView& view, std::size_t index) override {
        const lab::LcdView& lcd = view.lcds[index];
        const bool same = lcd.cells == lcd_.cells && lcd.cgram == lcd_.cgram &&
                          lcd.displayOn == lcd_.displayOn && lcd.cursor == lcd_.cursor &&
                          lcd.blink == lcd_.blink && lcd.cursorRow == lcd_.cursorRow &&
                          lcd.cursorColumn == lcd_.cursorColumn && lcd.columns == lcd_.columns &&
                          lcd.rows == lcd_.rows && lcd.backlight == lcd_.backlight && shown_;
        if (same)
            return;
        lcd_ = lcd;
        shown_ = true;
        setAccessibleName(tr8(lcd.name));
        const QString text = QString::fromStdString(lcd.text());
        setAccessibleDescription(lcd.displayOn ? text : tr8(texts::kLcdOff));
        setToolTip(lcd.displayOn ? text : tr8(texts::kLcdOff));
        const bool blinking = lcd.displayOn && lcd.blink && lcd.cursorRow >= 0;
        if (blinking && !blink_.isActive())
            blink_.start();
        else if (!blinking)
            blink_.stop();
        updateGeometry();
        update();
    }
    QSize sizeHint() const override {
        return {std::max(1, lcd_.columns) * 6 * 3 + 24, std::max(1, lcd_.rows) * 9 * 3 + 24};
    }
    QSize minimumSizeHint() const override {
        return {std::max(1, lcd_.columns) * 6 + 12, std::max(1, lcd_.rows) * 9 + 12};
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        const int columns = std::max(1, lcd_.columns) * 6 + 1,
                  rows = std::max(1, lcd_.rows) * 9 + 1;
        return std::min(width * rows / columns + 8, rows * 6);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QColor back(150, 200, 40), on(20, 40, 10), frame(30, 30, 30);
        if (lcd_.backlight == "bleu") {
            back = QColor(30, 70, 230);
            on = QColor(235, 240, 255);
        } else if (lcd_.backlight == "aucun") {
            back = QColor(160, 170, 140);
        }
        if (!lcd_.displayOn)
            on = back;
        const QColor faint =
            blend(back, lcd_.backlight == "bleu" ? back.lighter(115) : back.darker(108), 1.0);
        p.fillRect(rect(), frame);
        const int columns = std::max(1, lcd_.columns), rows = std::max(1, lcd_.rows);
        // Pixels in units: 6 a cell across (5 and a gap), 9 down.
        const int unitsX = columns * 6 + 1, unitsY = rows * 9 + 1;
        const double unit =
            std::max(1.0, std::min((width() - 8.0) / unitsX, (height() - 8.0) / unitsY));
        const double left = (width() - unit * unitsX) / 2, top = (height() - unit * unitsY) / 2;
        p.fillRect(QRectF(left - 2, top - 2, unit * unitsX + 4, unit * unitsY + 4), back);
        const double dot = unit > 2.5 ? unit * 0.85 : unit;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column) {
                const std::size_t cell = static_cast<std::size_t>(row * columns + column);
                const std::uint8_t code = cell < lcd_.cells.size() ? lcd_.cells[cell] : 0x20;
                const std::array<std::uint8_t, 8>& glyph =
                    code < 16 ? lcd_.cgram[code & 7] : lab::lcdGlyph(code);
                const bool atCursor = row == lcd_.cursorRow && column == lcd_.cursorColumn;
                const bool block = atCursor && lcd_.blink && blinkOn_;
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 5; ++x) {
                        bool lit = (glyph[static_cast<std::size_t>(y)] >> (4 - x)) & 1;
                        if (block || (atCursor && lcd_.cursor && y == 7))
                            lit = true;
                        p.fillRect(QRectF(left + unit * (column * 6 + 1 + x),
                                          top + unit * (row * 9 + 1 + y), dot, dot),
                                   lit && lcd_.displayOn ? on : faint);
                    }
            }
    }

private:
    lab::LcdView lcd_;
    bool shown_ = false;
    QTimer blink_;
    bool blinkOn_ = true;
};

// The 7-segment digits, each segment as bright as the program lights it.
class DisplaysPart final : public BoardPart {
public:
    DisplaysPart() { setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred); }
    void showPart(const lab::BoardView& view, std::size_t index) override {
        const lab::DisplayView& d = view.displays[index];
        if (shown_ && d.segments == d_.segments && d.digits == d_.digits)
            return;
        d_ = d;
        shown_ = true;
        setAccessibleName(tr8(d.name));
        setAccessibleDescription(QString::fromStdString(d.text()));
        setToolTip(QString::fromStdString(d.text()));
        update();
    }
    QSize sizeHint() const override { return {std::max(1, d_.digits) * 44 + 16, 76}; }
    QSize minimumSizeHint() const override { return {std::max(1, d_.digits) * 16 + 8, 30}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), QColor(20, 20, 20));
        const int digits = std::max(1, d_.digits);
        // A digit is 6 units wide and 10 high, a unit of gap between digits.
        const double unit =
            std::max(1.0, std::min((width() - 8.0) / (digits * 7.0), (height() - 8.0) / 11.0));
        const double left = (width() - unit * digits * 7.0) / 2 + unit / 2;
        const double top = (height() - unit * 11.0) / 2 + unit / 2;
        const QColor off(48, 14, 14), on(255, 40, 30);
        const double t = unit * 0.9; // a segment's thickness
        // A scanned display lights each digit a share of the time, which the
        // eye takes for full brightness: the shares are drawn relative to the
        // brightest segment (a quarter at least, so that the faint glow of a
        // segment switched during the scan stays faint).
        float brightest = 0;
        for (const auto& digit : d_.segments)
            for (const float s : digit)
                brightest = std::max(brightest, s);
        const double scale = 1.0 / std::max(0.25f, brightest);
        for (int k = 0; k < digits; ++k) {
            const std::array<float, 8> seg = static_cast<std::size_t>(k) < d_.segments.size()
                                                 ? d_.segments[static_cast<std::size_t>(k)]
                                                 : std::array<float, 8>{};
            const double x = left + k * 7.0 * unit, y = top;
            const double w = 5.0 * unit, h = 10.0 * unit;
            const QRectF bars[7] = {
                {x + t, y, w - 2 * t, t},                           // a
                {x + w - t, y + t, t, h / 2 - 1.5 * t},             // b
                {x + w - t, y + h / 2 + t / 2, t, h / 2 - 1.5 * t}, // c
                {x + t, y + h - t, w - 2 * t, t},                   // d
                {x, y + h / 2 + t / 2, t, h / 2 - 1.5 * t},         // e
                {x, y + t, t, h / 2 - 1.5 * t},                     // f
                {x + t, y + h / 2 - t / 2, w - 2 * t, t},           // g
            };
            for (int s = 0; s < 7; ++s)
                p.fillRect(bars[s], blend(off, on, seg[static_cast<std::size_t>(s)] * scale));
            p.setPen(Qt::NoPen);
            p.setBrush(blend(off, on, seg[7] * scale));
            p.drawEllipse(QRectF(x + w + unit * 0.1, y + h - t, t, t));
        }
    }

private:
    lab::DisplayView d_;
    bool shown_ = false;
};

// A LED, as bright as its pin keeps it lit.
class LedPart final : public BoardPart {
public:
    LedPart() { setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed); }
    void showPart(const lab::BoardView& view, std::size_t index) override {
        const lab::LedView& led = view.leds[index];
        if (shown_ && std::abs(led.brightness - led_.brightness) < 0.02f &&
            led.colour == led_.colour)
            return;
        led_ = led;
        shown_ = true;
        setAccessibleName(tr8(led.name));
        const int percent = static_cast<int>(std::lround(led.brightness * 100));
        setAccessibleDescription(percent >= 98  ? tr8(texts::kLedLit)
                                 : percent <= 2 ? tr8(texts::kLedOff)
                                                : tr8(texts::kLedShare).arg(percent));
        setToolTip(tr8(led.name) + QStringLiteral(" (") + QString::fromStdString(led.pin.name()) +
                   QStringLiteral(") : ") + accessibleDescription());
        update();
    }
    QSize sizeHint() const override { return {22, 22}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor on = ledColour(led_.colour);
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(blend(on.darker(400), on, led_.brightness));
        const double side = std::min(width(), height()) - 4.0;
        p.drawEllipse(QRectF((width() - side) / 2, (height() - side) / 2, side, side));
    }

private:
    lab::LedView led_;
    bool shown_ = false;
};

// A key of the keypad or a push button: held while the mouse holds it,
// drawn down while the board has it pressed (the keyboard's keys too).
class KeyButton final : public QAbstractButton {
public:
    explicit KeyButton(const QString& text) {
        setText(text);
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    void setBoardDown(bool down) {
        if (down != boardDown_) {
            boardDown_ = down;
            update();
        }
    }
    QSize sizeHint() const override {
        const int w = fontMetrics().horizontalAdvance(text()) + 16;
        return {std::max(34, w), 30};
    }
    QSize minimumSizeHint() const override {
        return {std::max(20, fontMetrics().horizontalAdvance(text()) + 6), 20};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool down = isDown() || boardDown_;
        const QRectF r =
            QRectF(rect()).adjusted(1.5, 1.5, -1.5, down ? -1.5 : -3.5).translated(0, down ? 0 : 0);
        p.setPen(QPen(QColor(50, 50, 50), 1));
        if (!down) {
            p.setBrush(QColor(90, 90, 90));
            p.drawRoundedRect(r.translated(0, 2), 4, 4);
        }
        p.setBrush(down ? QColor(150, 150, 150) : QColor(225, 225, 225));
        p.drawRoundedRect(r.translated(0, down ? 2 : 0), 4, 4);
        p.setPen(Qt::black);
        p.drawText(r.translated(0, down ? 2 : 0), Qt::AlignCenter, text());
    }

private:
    bool boardDown_ = false;
};

QString frequencyText(double hertz) {
    return QString::number(std::lround(hertz)); // "1000 Hz", as the timing view writes it
}

} // namespace

BoardPane::BoardPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("BoardPane"));
    setAccessibleName(tr8(texts::kBoardPane));
    setFocusPolicy(Qt::StrongFocus);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(4, 4, 4, 4);
    title_ = new QLabel;
    title_->setObjectName(QStringLiteral("BoardTitle"));
    title_->setTextFormat(Qt::PlainText);
    title_->setWordWrap(true);
    layout_->addWidget(title_);
    notice_ = new QLabel(tr8(texts::kLostWrite));
    notice_->setObjectName(QStringLiteral("BoardNotice"));
    notice_->setWordWrap(true);
    notice_->setTextFormat(Qt::PlainText);
    notice_->setStyleSheet(QStringLiteral("color: #a00000"));
    notice_->hide();
    layout_->addWidget(notice_);
}

BoardPane::~BoardPane() = default;

bool BoardPane::sameParts(const lab::BoardView& v) const {
    if (!built_ || v.name != view_.name || v.lcds.size() != view_.lcds.size() ||
        v.keypads.size() != view_.keypads.size() || v.displays.size() != view_.displays.size() ||
        v.buttons.size() != view_.buttons.size() || v.leds.size() != view_.leds.size() ||
        v.pots.size() != view_.pots.size() || v.buzzers.size() != view_.buzzers.size())
        return false;
    for (std::size_t k = 0; k < v.keypads.size(); ++k)
        if (v.keypads[k].labels != view_.keypads[k].labels)
            return false;
    return true;
}

void BoardPane::clear() {
    built_ = false;
}

void BoardPane::build(const lab::BoardView& view) {
    delete parts_;
    lcds_.clear();
    displays_.clear();
    leds_.clear();
    keys_.clear();
    buttons_.clear();
    pots_.clear();
    potVolts_.clear();
    buzzers_.clear();
    held_.clear();
    presses_.clear();
    toldLost_ = false;
    notice_->hide();
    title_->setText(tr8(view.name));

    parts_ = new QWidget;
    parts_->setObjectName(QStringLiteral("BoardParts"));
    auto* column = new QVBoxLayout(parts_);
    column->setContentsMargins(0, 0, 0, 0);
    for (std::size_t k = 0; k < view.lcds.size(); ++k) {
        auto* lcd = new LcdPart;
        lcd->setObjectName(QStringLiteral("BoardLcd%1").arg(k));
        column->addWidget(lcd);
        lcds_.push_back(lcd);
    }
    for (std::size_t k = 0; k < view.displays.size(); ++k) {
        auto* displays = new DisplaysPart;
        displays->setObjectName(QStringLiteral("BoardDisplays%1").arg(k));
        column->addWidget(displays);
        displays_.push_back(displays);
    }
    auto* row = new QHBoxLayout;
    column->addLayout(row, 1);
    for (std::size_t k = 0; k < view.keypads.size(); ++k) {
        const lab::KeypadView& pad = view.keypads[k];
        auto* keypad = new QWidget;
        keypad->setObjectName(QStringLiteral("BoardKeypad%1").arg(k));
        keypad->setAccessibleName(tr8(pad.name));
        auto* grid = new QGridLayout(keypad);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(3);
        std::vector<QAbstractButton*> keys;
        for (std::size_t i = 0; i < pad.labels.size(); ++i) {
            auto* key = new KeyButton(tr8(pad.labels[i]));
            key->setObjectName(QStringLiteral("BoardKey%1_%2").arg(k).arg(i));
            key->setAccessibleName(tr8(texts::kKeyName).arg(tr8(pad.labels[i]), tr8(pad.name)));
            const int columns = std::max(1, pad.columns);
            grid->addWidget(key, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
            const int keypadIndex = static_cast<int>(k), keyIndex = static_cast<int>(i);
            connect(key, &QAbstractButton::pressed, this,
                    [this, keypadIndex, keyIndex] { hold(keypadIndex, keyIndex, true); });
            connect(key, &QAbstractButton::released, this,
                    [this, keypadIndex, keyIndex] { hold(keypadIndex, keyIndex, false); });
            keys.push_back(key);
        }
        keys_.push_back(std::move(keys));
        row->addWidget(keypad, 1);
    }
    // The small parts in a column beside the keypad.
    auto* side = new QVBoxLayout;
    row->addLayout(side, view.keypads.empty() ? 1 : 0);
    if (!view.buttons.empty()) {
        auto* buttons = new QHBoxLayout;
        for (std::size_t k = 0; k < view.buttons.size(); ++k) {
            auto* button = new KeyButton(tr8(view.buttons[k].name));
            button->setObjectName(QStringLiteral("BoardButton%1").arg(k));
            button->setAccessibleName(tr8(view.buttons[k].name));
            button->setToolTip(tr8(view.buttons[k].name) + QStringLiteral(" (") +
                               QString::fromStdString(view.buttons[k].pin.name()) +
                               QStringLiteral(")"));
            button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            const int index = static_cast<int>(k);
            connect(button, &QAbstractButton::pressed, this,
                    [this, index] { hold(-1, index, true); });
            connect(button, &QAbstractButton::released, this,
                    [this, index] { hold(-1, index, false); });
            buttons->addWidget(button);
            buttons_.push_back(button);
        }
        side->addLayout(buttons);
    }
    if (!view.leds.empty()) {
        auto* leds = new QHBoxLayout;
        for (std::size_t k = 0; k < view.leds.size(); ++k) {
            auto* led = new LedPart;
            led->setObjectName(QStringLiteral("BoardLed%1").arg(k));
            auto* label = new QLabel(tr8(view.leds[k].name));
            label->setBuddy(led);
            leds->addWidget(led);
            leds->addWidget(label);
            leds_.push_back(led);
        }
        leds->addStretch(1);
        side->addLayout(leds);
    }
    for (std::size_t k = 0; k < view.pots.size(); ++k) {
        auto* line = new QHBoxLayout;
        auto* label = new QLabel(tr8(view.pots[k].name));
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setObjectName(QStringLiteral("BoardPot%1").arg(k));
        slider->setAccessibleName(tr8(view.pots[k].name));
        slider->setRange(0, kPotSteps);
        slider->setMinimumWidth(60);
        label->setBuddy(slider);
        auto* volts = new QLabel;
        volts->setMinimumWidth(volts->fontMetrics().horizontalAdvance(QStringLiteral("0,00 V")) +
                               4);
        const int index = static_cast<int>(k);
        connect(slider, &QSlider::valueChanged, this, [this, index, volts](int value) {
            const double v = value * kPotVolts / kPotSteps;
            volts->setText(QLocale(QLocale::French).toString(v, 'f', 2) + QStringLiteral(" V"));
            emit potChanged(index, v);
        });
        line->addWidget(label);
        line->addWidget(slider, 1);
        line->addWidget(volts);
        side->addLayout(line);
        pots_.push_back(slider);
        potVolts_.push_back(volts);
    }
    for (std::size_t k = 0; k < view.buzzers.size(); ++k) {
        auto* buzzer = new QLabel;
        buzzer->setObjectName(QStringLiteral("BoardBuzzer%1").arg(k));
        buzzer->setAccessibleName(tr8(view.buzzers[k].name));
        buzzer->setTextFormat(Qt::PlainText);
        side->addWidget(buzzer);
        buzzers_.push_back(buzzer);
    }
    side->addStretch(1);
    const bool none = view.lcds.empty() && view.displays.empty() && view.keypads.empty() &&
                      view.buttons.empty() && view.leds.empty() && view.pots.empty() &&
                      view.buzzers.empty();
    if (none) {
        auto* empty = new QLabel(tr8(texts::kNoParts));
        empty->setWordWrap(true);
        side->insertWidget(0, empty);
    }
    layout_->insertWidget(1, parts_, 1);
    built_ = true;
}

void BoardPane::showView(const lab::BoardView& view) {
    if (!sameParts(view))
        build(view);
    for (std::size_t k = 0; k < lcds_.size(); ++k)
        lcds_[k]->showPart(view, k);
    for (std::size_t k = 0; k < displays_.size(); ++k)
        displays_[k]->showPart(view, k);
    for (std::size_t k = 0; k < leds_.size(); ++k)
        leds_[k]->showPart(view, k);
    for (std::size_t k = 0; k < keys_.size(); ++k)
        for (std::size_t i = 0; i < keys_[k].size() && i < view.keypads[k].pressed.size(); ++i)
            static_cast<KeyButton*>(keys_[k][i])->setBoardDown(view.keypads[k].pressed[i]);
    for (std::size_t k = 0; k < buttons_.size(); ++k)
        static_cast<KeyButton*>(buttons_[k])->setBoardDown(view.buttons[k].pressed);
    for (std::size_t k = 0; k < pots_.size(); ++k) {
        // The slider the user holds is theirs.
        if (pots_[k]->isSliderDown())
            continue;
        const int steps = static_cast<int>(std::lround(view.pots[k].volts / kPotVolts * kPotSteps));
        if (pots_[k]->value() != steps || potVolts_[k]->text().isEmpty()) {
            const QSignalBlocker blocker(pots_[k]);
            pots_[k]->setValue(steps);
            potVolts_[k]->setText(QLocale(QLocale::French).toString(view.pots[k].volts, 'f', 2) +
                                  QStringLiteral(" V"));
        }
    }
    for (std::size_t k = 0; k < buzzers_.size(); ++k) {
        const lab::BuzzerView& b = view.buzzers[k];
        const QString text =
            b.frequency > 0 ? tr8(texts::kBuzzerTone).arg(tr8(b.name), frequencyText(b.frequency))
                            : tr8(texts::kBuzzerSilent).arg(tr8(b.name));
        if (buzzers_[k]->text() != text) {
            buzzers_[k]->setText(text);
            buzzers_[k]->setAccessibleDescription(text);
        }
    }
    // Said once: the program does not wait for the LCD's busy flag.
    if (!toldLost_)
        for (const lab::LcdView& lcd : view.lcds)
            if (lcd.lostWrites > 0) {
                toldLost_ = true;
                notice_->show();
            }
    view_ = view;
}

QWidget* BoardPane::lcd(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < lcds_.size()
               ? lcds_[static_cast<std::size_t>(index)]
               : nullptr;
}
QWidget* BoardPane::displays(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < displays_.size()
               ? displays_[static_cast<std::size_t>(index)]
               : nullptr;
}
QAbstractButton* BoardPane::key(int keypad, int index) const {
    if (keypad < 0 || static_cast<std::size_t>(keypad) >= keys_.size())
        return nullptr;
    const auto& keys = keys_[static_cast<std::size_t>(keypad)];
    return index >= 0 && static_cast<std::size_t>(index) < keys.size()
               ? keys[static_cast<std::size_t>(index)]
               : nullptr;
}
QAbstractButton* BoardPane::button(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < buttons_.size()
               ? buttons_[static_cast<std::size_t>(index)]
               : nullptr;
}
QWidget* BoardPane::led(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < leds_.size()
               ? leds_[static_cast<std::size_t>(index)]
               : nullptr;
}
QSlider* BoardPane::pot(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < pots_.size()
               ? pots_[static_cast<std::size_t>(index)]
               : nullptr;
}
QLabel* BoardPane::buzzer(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < buzzers_.size()
               ? buzzers_[static_cast<std::size_t>(index)]
               : nullptr;
}

void BoardPane::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text().toUpper();
    if (event->isAutoRepeat()) {
        if (held_.contains(event->key()))
            return;
        QWidget::keyPressEvent(event);
        return;
    }
    for (std::size_t k = 0; k < view_.keypads.size() && !text.isEmpty(); ++k) {
        const auto& labels = view_.keypads[k].labels;
        for (std::size_t i = 0; i < labels.size(); ++i)
            if (QString::fromStdString(labels[i]) == text) {
                const std::pair<int, int> key{static_cast<int>(k), static_cast<int>(i)};
                held_.insert(event->key(), key);
                hold(key.first, key.second, true);
                event->accept();
                return;
            }
    }
    QWidget::keyPressEvent(event);
}

void BoardPane::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat() || !held_.contains(event->key())) {
        if (!held_.contains(event->key()))
            QWidget::keyReleaseEvent(event);
        return;
    }
    const std::pair<int, int> key = held_.take(event->key());
    hold(key.first, key.second, false);
    event->accept();
}

void BoardPane::focusOutEvent(QFocusEvent* event) {
    // A key let go elsewhere is never told here: nothing stays held.
    for (auto it = held_.cbegin(); it != held_.cend(); ++it)
        hold(it->first, it->second, false);
    held_.clear();
    QWidget::focusOutEvent(event);
}

void BoardPane::emitHold(int keypad, int index, bool down) {
    if (keypad >= 0)
        emit keyChanged(keypad, index, down);
    else
        emit buttonChanged(index, down);
}

void BoardPane::hold(int keypad, int index, bool down) {
    const qint64 id = (static_cast<qint64>(keypad + 1) << 32) | static_cast<quint32>(index);
    Press& press = presses_[id];
    if (down) {
        ++press.count;
        press.since.start();
        emitHold(keypad, index, true);
        return;
    }
    const qint64 held = press.since.isValid() ? press.since.elapsed() : kShortestPress;
    if (held >= kShortestPress) {
        emitHold(keypad, index, false);
        return;
    }
    QTimer::singleShot(static_cast<int>(kShortestPress - held), this,
                       [this, id, keypad, index, count = press.count] {
                           if (presses_.value(id).count == count)
                               emitHold(keypad, index, false);
                       });
}

} // namespace kavrel::simulation
