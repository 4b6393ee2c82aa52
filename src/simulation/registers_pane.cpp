#include "simulation/registers_pane.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "common/hex_text.h"
#include "simulation/simulation_texts.h"
#include "simulation/snapshot.h"

namespace kavrel::simulation {

namespace {

constexpr const char* kNames[RegistersPane::FieldCount] = {"A", "B",  "D",  "X",
                                                           "Y", "SP", "PC", "CCR"};
constexpr char kFlagLetters[] = "SXHINZVC";

unsigned valueOf(const sim11::Registers& r, RegistersPane::Field field) {
    switch (field) {
    case RegistersPane::A:
        return r.a;
    case RegistersPane::B:
        return r.b;
    case RegistersPane::D:
        return r.d();
    case RegistersPane::X:
        return r.x;
    case RegistersPane::Y:
        return r.y;
    case RegistersPane::SP:
        return r.sp;
    case RegistersPane::PC:
        return r.pc;
    case RegistersPane::CCR:
        return r.ccr;
    default:
        return 0;
    }
}

void setValue(sim11::Registers& r, RegistersPane::Field field, unsigned v) {
    switch (field) {
    case RegistersPane::A:
        r.a = static_cast<std::uint8_t>(v);
        break;
    case RegistersPane::B:
        r.b = static_cast<std::uint8_t>(v);
        break;
    case RegistersPane::D:
        r.setD(static_cast<std::uint16_t>(v));
        break;
    case RegistersPane::X:
        r.x = static_cast<std::uint16_t>(v);
        break;
    case RegistersPane::Y:
        r.y = static_cast<std::uint16_t>(v);
        break;
    case RegistersPane::SP:
        r.sp = static_cast<std::uint16_t>(v);
        break;
    case RegistersPane::PC:
        r.pc = static_cast<std::uint16_t>(v);
        break;
    case RegistersPane::CCR:
        r.ccr = static_cast<std::uint8_t>(v);
        break;
    default:
        break;
    }
}

// The 8-bit registers take two digits, the others four.
int digitsOf(RegistersPane::Field field) {
    return field == RegistersPane::A || field == RegistersPane::B || field == RegistersPane::CCR
               ? 2
               : 4;
}

QString hexText(unsigned value, RegistersPane::Field field) {
    return QString::fromStdString(hex::digits(value, digitsOf(field)));
}

// Simulated time, in the unit that keeps it readable.
QString formatTime(double seconds) {
    if (seconds < 1e-3)
        return QStringLiteral("%1 µs").arg(seconds * 1e6, 0, 'f', 1);
    if (seconds < 1.0)
        return QStringLiteral("%1 ms").arg(seconds * 1e3, 0, 'f', 3);
    return QStringLiteral("%1 s").arg(seconds, 0, 'f', 6);
}

} // namespace

RegistersPane::RegistersPane(QWidget* parent)
    : QWidget(parent), cycles_(new QLabel), time_(new QLabel) {
    setObjectName(QStringLiteral("RegistersPane"));
    setAccessibleName(QString::fromUtf8(texts::kRegistersPane));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    QFont fixed(QStringLiteral("Courier"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPointSizeF(9.75);
    for (int i = 0; i < FieldCount; ++i) {
        auto* edit = new QLineEdit;
        const auto field = static_cast<Field>(i);
        edit->setObjectName(QStringLiteral("Register_") + QLatin1String(kNames[i]));
        edit->setAccessibleName(QLatin1String(kNames[i]));
        edit->setFont(fixed);
        edit->setMaxLength(digitsOf(field));
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9A-Fa-f]{1,%1}").arg(digitsOf(field))), edit));
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 6 + 8);
        connect(edit, &QLineEdit::editingFinished, this, [this, field] { commit(field); });
        fields_[static_cast<std::size_t>(i)] = edit;
        auto* label = new QLabel(QLatin1String(kNames[i]));
        label->setBuddy(edit);
        // Two columns: the accumulators and the index registers, then the rest.
        const int row = i % 4, column = (i / 4) * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row, column + 1);
    }

    auto* flagsRow = new QHBoxLayout;
    flagsRow->setSpacing(2);
    auto* flagsLabel = new QLabel(QString::fromUtf8(texts::kFlagsLabel));
    flagsRow->addWidget(flagsLabel);
    for (int i = 0; i < 8; ++i) {
        auto* box = new QCheckBox(QString(QLatin1Char(kFlagLetters[i])));
        box->setObjectName(QStringLiteral("Flag_") + QLatin1Char(kFlagLetters[i]));
        connect(box, &QCheckBox::clicked, this, [this] { commitFlags(); });
        flags_[static_cast<std::size_t>(i)] = box;
        flagsRow->addWidget(box);
    }
    flagsRow->addStretch(1);
    grid->addLayout(flagsRow, 4, 0, 1, 4);

    cycles_->setObjectName(QStringLiteral("Cycles"));
    time_->setObjectName(QStringLiteral("Time"));
    cycles_->setFont(fixed);
    time_->setFont(fixed);
    grid->addWidget(new QLabel(QString::fromUtf8(texts::kCyclesLabel)), 5, 0);
    grid->addWidget(cycles_, 5, 1, 1, 3);
    grid->addWidget(new QLabel(QString::fromUtf8(texts::kTimeLabel)), 6, 0);
    grid->addWidget(time_, 6, 1, 1, 3);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(4, 1);
}

QString RegistersPane::cyclesText() const {
    return cycles_->text();
}

QString RegistersPane::timeText() const {
    return time_->text();
}

void RegistersPane::paintChanged(QWidget* widget, bool changed) {
    if (widget->property("changed").toBool() == changed)
        return;
    widget->setProperty("changed", changed);
    QFont font = widget->font();
    font.setBold(changed);
    widget->setFont(font);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Text, changed ? QColor(0xC0, 0x00, 0x00) : QColor(Qt::black));
    palette.setColor(QPalette::WindowText, changed ? QColor(0xC0, 0x00, 0x00) : QColor(Qt::black));
    widget->setPalette(palette);
}

void RegistersPane::showSnapshot(const Snapshot& snapshot, bool stopped) {
    const sim11::Registers& r = snapshot.regs;
    shown_ = r;
    stopped_ = stopped;
    for (int i = 0; i < FieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        QLineEdit* edit = fields_[static_cast<std::size_t>(i)];
        const QString text = hexText(valueOf(r, field), field);
        if (edit->text() != text)
            edit->setText(text);
        edit->setReadOnly(!stopped);
        if (stopped)
            paintChanged(edit, lastStop_ && valueOf(*lastStop_, field) != valueOf(r, field));
    }
    for (int bit = 0; bit < 8; ++bit) {
        QCheckBox* box = flag(bit);
        const bool set = (r.ccr >> bit) & 1;
        box->setChecked(set);
        box->setEnabled(stopped);
        if (stopped)
            paintChanged(box, lastStop_ && (((lastStop_->ccr >> bit) & 1) != set));
    }
    cycles_->setText(clockNote_ ? clockNote_->first : QString::number(snapshot.cycles));
    time_->setText(clockNote_ ? clockNote_->second : formatTime(snapshot.seconds));
    if (stopped)
        lastStop_ = r;
}

void RegistersPane::setClockNote(const QString& cycles, const QString& time) {
    clockNote_ = std::make_pair(cycles, time);
    cycles_->setText(cycles);
    time_->setText(time);
}

void RegistersPane::commit(Field which) {
    if (!stopped_)
        return;
    QLineEdit* edit = fields_[which];
    bool ok = false;
    const unsigned value = edit->text().toUInt(&ok, 16);
    if (!ok || value == valueOf(shown_, which)) {
        edit->setText(hexText(valueOf(shown_, which), which));
        return;
    }
    sim11::Registers r = shown_;
    setValue(r, which, value);
    shown_ = r;
    lastStop_ = r; // the user's own change is not the program's
    emit registersEdited(r);
}

void RegistersPane::commitFlags() {
    if (!stopped_)
        return;
    sim11::Registers r = shown_;
    r.ccr = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (flag(bit)->isChecked())
            r.ccr = static_cast<std::uint8_t>(r.ccr | (1 << bit));
    shown_ = r;
    lastStop_ = r;
    emit registersEdited(r);
}

} // namespace kavrel::simulation
