#include "app/status_bar.h"

#include <QDateTime>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "app/app_texts.h"
#include "platform/desktop.h"

namespace kavrel::app {

namespace {
QLabel* addPanel(QStatusBar* bar, const QString& key, int width, const QString& text = {}) {
    auto* label = new QLabel(text, bar);
    // No accessible name of its own: a screen reader then reads the text the
    // panel shows, kept current by the label itself.
    label->setObjectName(key);
    label->setFixedWidth(width);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    bar->addWidget(label);
    return label;
}

constexpr int kLockPollMs = 250;
} // namespace

StatusPanels::StatusPanels(QStatusBar* bar)
    : QObject(bar), midnight_(new QTimer(this)), locks_(new QTimer(this)) {
    bar->setObjectName(QStringLiteral("Status"));
    // The panels are narrow (a date in 67 pixels): the system's small status font.
    QFont font = bar->font();
    font.setPointSizeF(std::min(font.pointSizeF(), 8.0));
    bar->setFont(font);
    // Widths of the panels in pixels: 3000, 1000, 500, 500 and 2000 twips.
    info_ = addPanel(bar, QStringLiteral("Info"), 200);
    // The five widths and the bar's own spacing are wider than the window's
    // 468 pixels: the empty Info panel gives way rather than overlap the date.
    info_->setMinimumWidth(60);
    bar->removeWidget(info_);
    bar->insertWidget(0, info_, 1);
    info_->show();
    date_ = addPanel(bar, QStringLiteral("Date"), 67);
    num_ = addPanel(bar, QStringLiteral("Num"), 33, texts::kNum);
    maj_ = addPanel(bar, QStringLiteral("Maj"), 33, texts::kMaj);
    pos_ = addPanel(bar, QStringLiteral("Pos_XY"), 133);
    date_->setAlignment(Qt::AlignCenter);
    num_->setAlignment(Qt::AlignCenter);
    maj_->setAlignment(Qt::AlignCenter);

    midnight_->setSingleShot(true);
    connect(midnight_, &QTimer::timeout, this, [this] {
        refreshDate();
        scheduleMidnight();
    });
    refreshDate();
    scheduleMidnight();

    refreshLocks();
    if (platform::readKeyLocks()) {
        connect(locks_, &QTimer::timeout, this, &StatusPanels::refreshLocks);
        locks_->start(kLockPollMs);
    }
    // A resumed machine or a changed clock shows up when the program is used again.
    qApp->installEventFilter(this);
}

QLabel* StatusPanels::panel(const QString& key) const {
    for (QLabel* label : {info_, date_, num_, maj_, pos_})
        if (label->objectName() == key)
            return label;
    return nullptr;
}

void StatusPanels::refreshDate() {
    const QString text = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    if (date_->text() != text)
        date_->setText(text);
}

void StatusPanels::scheduleMidnight() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime next(now.date().addDays(1), QTime(0, 0, 1));
    midnight_->start(static_cast<int>(std::max<qint64>(1000, now.msecsTo(next))));
}

void StatusPanels::refreshLocks() {
    const auto locks = platform::readKeyLocks();
    // Highlighted while the lock is on, dimmed while it is off or unknown.
    num_->setEnabled(locks && locks->numLock);
    maj_->setEnabled(locks && locks->capsLock);
    // The dimming says nothing to a screen reader: the name does.
    const auto describe = [&locks](const QString& shown, bool on) {
        if (!locks)
            return shown + texts::kLockUnknown;
        return shown + (on ? texts::kLockOn : texts::kLockOff);
    };
    const QString numName = describe(texts::kNum, locks && locks->numLock);
    const QString majName = describe(texts::kMaj, locks && locks->capsLock);
    if (num_->accessibleName() != numName)
        num_->setAccessibleName(numName);
    if (maj_->accessibleName() != majName)
        maj_->setAccessibleName(majName);
}

bool StatusPanels::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationStateChange) {
        refreshDate();
        scheduleMidnight();
        refreshLocks();
    } else if (event->type() == QEvent::KeyRelease && watched->isWidgetType()) {
        refreshLocks();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kavrel::app
