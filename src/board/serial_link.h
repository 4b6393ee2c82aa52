#pragma once

// An open serial line carried by a thread of its own, for the terminal: what
// comes is handed over by received(), what is typed goes out through write().
// The user-interface thread never waits for the line, whatever the port is
// (Qt's serial port, the Win32 one, a simulated board in tests).
#include "board/transport.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <memory>

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
    // Lets the line go without waiting for it: its thread ends on its own
    // within a poll of the line (or once a write stuck on the adapter gives
    // up), closes the port there and leaves nothing behind. Nothing more is
    // signalled from then on.
    ~SerialLink() override;

    void start();
    // Queued for the line's thread; from the thread the link lives in.
    void write(const QByteArray& bytes);
    void setBaud(unsigned baud);

    const QString& name() const { return name_; }
    unsigned baud() const;

signals:
    void received(const QByteArray& bytes);
    // The speed the line now has, or the one it refused.
    void baudChanged(unsigned baud);
    void baudRefused(unsigned baud);
    // The line is of no more use (unplugged, hung up); the thread has ended.
    void failed(kavrel::board::PortFault fault, const QString& detail);

private:
    // What the line's thread uses: shared, as the thread may outlive the link.
    struct Line;
    static void run(const std::shared_ptr<Line>& line);

    std::shared_ptr<Line> line_;
    QString name_;
    // Deletes itself once finished; a child of the link until then, so that
    // it goes with the link to another thread.
    QPointer<QThread> thread_;
};

} // namespace kavrel::board

Q_DECLARE_METATYPE(kavrel::board::PortFault)
