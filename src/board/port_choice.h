#pragma once

// The port field of the dialogs that reach a board: an editable list of the
// system's serial ports, looked at again for plugs and unplugs, that keeps
// the user's choice across a new list (a port still there stays chosen, a
// path typed by hand stays as typed). With the readings of the speed and
// crystal fields those dialogs share.
#include "board/serial_link.h"

#include <QComboBox>
#include <QList>
#include <QString>

#include <functional>

class QTimer;

namespace kavrel::board {

class PortChoice : public QComboBox {
    Q_OBJECT
public:
    // How often the list of ports is looked at again: no signal tells of a
    // port plugged in or out.
    static constexpr int kPollMs = 1000;

    // Named "port", listing the system's ports, polled from the start.
    explicit PortChoice(QWidget* parent = nullptr);

    // Another source, another list: nothing of the old choice is kept.
    void setLister(std::function<QList<PortEntry>()> lister);

    // The port's location: the entry chosen in the list, or what was typed.
    QString chosen() const;
    // Chooses `port`: its entry when listed, otherwise typed; nothing when empty.
    void choose(const QString& port);

public slots:
    void refresh();

private:
    std::function<QList<PortEntry>()> lister_;
    QList<PortEntry> ports_;
    QTimer* poll_ = nullptr;
};

// A speed as typed, from 50 to 4,000,000 bauds: 0 when it is not one.
unsigned baudOf(const QString& text);

// A crystal typed in MHz ("8", "9,8304" or "9.8304"), in Hz when it lies
// from `lowestMHz` to `highestMHz`: 0 otherwise.
double crystalHzOf(const QString& text, double lowestMHz, double highestMHz);

} // namespace kavrel::board
