#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QStatusBar;
class QTimer;

namespace kavrel::app {

// The five panels of `Status`: Info, the date, Num, Maj, Pos_XY. The date and
// the two lock indicators keep themselves current.
class StatusPanels : public QObject {
    Q_OBJECT
public:
    explicit StatusPanels(QStatusBar* bar);

    QLabel* panel(const QString& key) const; // "Info", "Pos_XY"
    QLabel* datePanel() const { return date_; }
    QLabel* numPanel() const { return num_; }
    QLabel* majPanel() const { return maj_; }

    void refreshDate();
    void refreshLocks();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleMidnight();

    QLabel* info_;
    QLabel* date_;
    QLabel* num_;
    QLabel* maj_;
    QLabel* pos_;
    QTimer* midnight_;
    QTimer* locks_;
};

} // namespace kavrel::app
