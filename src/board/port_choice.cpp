#include "board/port_choice.h"

#include "board/board_texts.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>
#include <QTimer>

namespace kavrel::board {

namespace {

constexpr unsigned kMinimumBaud = 50;
constexpr unsigned kMaximumBaud = 4000000;

// The location, then what the system says of the port and its maker.
QString shown(const PortEntry& entry) {
    QStringList about;
    if (!entry.description.isEmpty())
        about << entry.description;
    if (!entry.maker.isEmpty())
        about << entry.maker;
    return about.isEmpty() ? entry.location
                           : entry.location + QStringLiteral(" (") +
                                 about.join(QStringLiteral(", ")) + QStringLiteral(")");
}

} // namespace

PortChoice::PortChoice(QWidget* parent) : QComboBox(parent), lister_(systemPorts) {
    setObjectName(QStringLiteral("port"));
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->setPlaceholderText(QString::fromUtf8(kPortPlaceholder));
    setMinimumContentsLength(32);

    poll_ = new QTimer(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &PortChoice::refresh);
    poll_->start();
    refresh();
}

void PortChoice::setLister(std::function<QList<PortEntry>()> lister) {
    lister_ = std::move(lister);
    ports_.clear();
    clear();
    setEditText(QString());
    refresh();
}

void PortChoice::refresh() {
    const QList<PortEntry> now = lister_ ? lister_() : QList<PortEntry>{};
    const auto sameList = [&] {
        if (now.size() != ports_.size())
            return false;
        for (qsizetype i = 0; i < now.size(); ++i)
            if (now[i].location != ports_[i].location ||
                now[i].description != ports_[i].description)
                return false;
        return true;
    };
    if (sameList() && count() == static_cast<int>(now.size()))
        return;
    const QString kept = chosen();
    ports_ = now;
    const QSignalBlocker blocker(this);
    clear();
    for (const PortEntry& entry : ports_)
        addItem(shown(entry), entry.location);
    const int index = findData(kept);
    if (index >= 0)
        setCurrentIndex(index);
    else if (!kept.isEmpty())
        setEditText(kept);
    else if (count() > 0)
        setCurrentIndex(0);
}

QString PortChoice::chosen() const {
    const QString text = currentText().trimmed();
    const int index = currentIndex();
    if (index >= 0 && text == itemText(index))
        return itemData(index).toString();
    return text;
}

void PortChoice::choose(const QString& port) {
    const int index = findData(port);
    if (index >= 0)
        setCurrentIndex(index);
    else if (!port.isEmpty())
        setEditText(port);
}

unsigned baudOf(const QString& text) {
    bool number = false;
    const uint baud = text.trimmed().toUInt(&number);
    return number && baud >= kMinimumBaud && baud <= kMaximumBaud ? baud : 0;
}

double crystalHzOf(const QString& text, double lowestMHz, double highestMHz) {
    QString written = text.trimmed();
    written.replace(QLatin1Char(','), QLatin1Char('.'));
    bool number = false;
    const double mhz = written.toDouble(&number);
    return number && mhz >= lowestMHz && mhz <= highestMHz ? mhz * 1e6 : 0;
}

} // namespace kavrel::board
