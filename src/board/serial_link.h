#pragma once

// An open serial line carried by a thread of its own, for the terminal: what
// comes is handed over by received(), what is typed goes out through write().
// The user-interface thread never waits for the line, whatever the port is
// (Qt's serial port, the Win32 one, a simulated board in tests).
#include "board/transport.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QThread;

namespace kavrel::board {

// A serial port as the system lists it.
struct PortEntry {
    QString location;    // what opens it: /dev/ttyUSB0, COM3
    QString description; // FT232R USB UART
    QString maker;       // FTDI
};
// The ports the system knows now, and the transport that opens them.
QList<PortEntry> systemPorts();
std::unique_ptr<Transport> systemTransport();

class SerialLink : public QObject {
    Q_OBJECT
public:
    // How long the line's thread waits for bytes before it looks at what
    // is to be sent: the longest a typed key waits.
    static constexpr int kPollMs = 10;

    // Takes over `transport`, already open at `baud`: from the thread that
    // used it until now (a download's, or this one). start() sets it going.
    SerialLink(std::unique_ptr<Transport> transport, const QString& name, unsigned baud,
               QObject* parent = nullptr);
    // Stops the thread and closes the port.
    ~SerialLink() override;

    void start();
    // Queued for the line's thread; from the thread the link lives in.
    void write(const QByteArray& bytes);
    void setBaud(unsigned baud);

    const QString& name() const { return name_; }
    unsigned baud() const { return baud_.load(); }

signals:
    void received(const QByteArray& bytes);
    // The speed the line now has, or the one it refused.
    void baudChanged(unsigned baud);
    void baudRefused(unsigned baud);
    // The line is of no more use (unplugged, hung up); the thread has ended.
    void failed(kavrel::board::PortFault fault, const QString& detail);

private:
    void run();
    // False when the line cannot go at that speed; throws PortError when
    // the line failed.
    bool changeBaud(unsigned baud);

    std::unique_ptr<Transport> transport_;
    QString name_;
    std::atomic<unsigned> baud_;
    std::unique_ptr<QThread> thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_; // guards what waits for the line's thread
    QByteArray outgoing_;
    std::optional<unsigned> newBaud_;
};

} // namespace kavrel::board

Q_DECLARE_METATYPE(kavrel::board::PortFault)
