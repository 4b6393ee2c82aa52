#include "board/serial_link.h"

#include <QThread>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>

#if KAVREL_QT_SERIAL
#include "board/serial_transport.h"

#include <QSerialPortInfo>
#else
#include "board/win32_serial.h"
#endif

namespace kavrel::board {

QList<PortEntry> systemPorts() {
    QList<PortEntry> ports;
#if KAVREL_QT_SERIAL
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.description(), info.manufacturer()});
#else
    for (const Win32Port& port : win32SerialPortDetails())
        ports.append({QString::fromStdString(port.name), QString::fromStdString(port.description),
                      QString::fromStdString(port.maker)});
#endif
    return ports;
}

std::unique_ptr<Transport> systemTransport() {
#if KAVREL_QT_SERIAL
    return std::make_unique<SerialTransport>();
#else
    return std::make_unique<Win32SerialTransport>();
#endif
}

struct SerialLink::Line {
    std::unique_ptr<Transport> transport; // the line's thread's alone once started
    std::string port;
    std::atomic<bool> stop{false};
    std::atomic<unsigned> baud;

    std::mutex mutex; // what waits for the line's thread
    QByteArray outgoing;
    std::optional<unsigned> newBaud;

    std::mutex ownerMutex; // the link's life, against the thread's signals
    SerialLink* owner = nullptr;
    bool letGo = false;  // the link went while the port was still open
    bool closed = false; // the thread has closed the port

    // Calls `tell` with the link while it lives; never after its end.
    template <typename F> void toOwner(F&& tell) {
        const std::lock_guard<std::mutex> lock(ownerMutex);
        if (owner)
            tell(owner);
    }
};

SerialLink::SerialLink(std::unique_ptr<Transport> transport, const QString& name, unsigned baud,
                       QObject* parent)
    : QObject(parent), line_(std::make_shared<Line>()), name_(name) {
    qRegisterMetaType<kavrel::board::PortFault>();
    line_->transport = std::move(transport);
    line_->port = name.toStdString();
    line_->baud = baud;
    line_->owner = this;
    thread_ = QThread::create([line = line_] { run(line); });
    thread_->setParent(this);
    connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
#if KAVREL_QT_SERIAL
    // Qt's port belongs to one thread: it goes to the line's before it starts.
    if (auto* serial = dynamic_cast<SerialTransport*>(line_->transport.get()))
        serial->moveTo(thread_);
#endif
}

SerialLink::~SerialLink() {
    {
        const std::lock_guard<std::mutex> lock(line_->ownerMutex);
        line_->owner = nullptr;
        line_->stop = true;
        // Whoever opens the port next waits for the thread to close it.
        if (!line_->closed) {
            line_->letGo = true;
            portClosing(line_->port);
        }
    }
    if (thread_) {
        // Not deleted with the link: it deletes itself once finished.
        thread_->setParent(nullptr);
        // Never started: it still runs, only to close the port there.
        if (!thread_->isRunning() && !thread_->isFinished())
            thread_->start();
    }
}

void SerialLink::start() {
    if (thread_ && !thread_->isRunning() && !thread_->isFinished())
        thread_->start();
}

unsigned SerialLink::baud() const {
    return line_->baud.load();
}

void SerialLink::write(const QByteArray& bytes) {
    const std::lock_guard<std::mutex> lock(line_->mutex);
    line_->outgoing.append(bytes);
}

void SerialLink::setBaud(unsigned baud) {
    const std::lock_guard<std::mutex> lock(line_->mutex);
    line_->newBaud = baud;
}

void SerialLink::run(const std::shared_ptr<Line>& line) {
    Transport* transport = line->transport.get();
    // False when the line cannot go at that speed; throws PortError when
    // the line failed.
    const auto changeBaud = [&](unsigned baud) {
        try {
            transport->setBaud(baud);
        } catch (const PortError& error) {
            if (error.fault() == PortFault::SpeedRefused)
                return false;
            throw;
        }
        line->baud = baud;
        line->toOwner([baud](SerialLink* link) { emit link->baudChanged(baud); });
        return true;
    };
    std::array<std::uint8_t, 512> buffer{};
    while (transport && !line->stop.load()) {
        QByteArray out;
        std::optional<unsigned> rate;
        {
            const std::lock_guard<std::mutex> lock(line->mutex);
            out.swap(line->outgoing);
            rate.swap(line->newBaud);
        }
        try {
            if (rate && !changeBaud(*rate))
                line->toOwner([rate](SerialLink* link) { emit link->baudRefused(*rate); });
            if (!out.isEmpty())
                transport->write({reinterpret_cast<const std::uint8_t*>(out.constData()),
                                  static_cast<std::size_t>(out.size())});
            if (line->stop.load())
                break;
            const auto asked = std::chrono::steady_clock::now();
            const std::size_t n = transport->read(buffer, std::chrono::milliseconds(kPollMs));
            if (n > 0) {
                const QByteArray bytes(reinterpret_cast<const char*>(buffer.data()),
                                       static_cast<qsizetype>(n));
                line->toOwner([&bytes](SerialLink* link) { emit link->received(bytes); });
            } else if (std::chrono::steady_clock::now() - asked < std::chrono::milliseconds(1)) {
                // A line that says "nothing" without waiting is not spun on.
                QThread::msleep(kPollMs);
            }
        } catch (const PortError& error) {
            const QString detail = QString::fromStdString(error.detail());
            line->toOwner(
                [&error, &detail](SerialLink* link) { emit link->failed(error.fault(), detail); });
            break;
        }
    }
    // Closed on the thread that used it last.
    if (transport)
        transport->close();
    line->transport.reset();
    const std::lock_guard<std::mutex> lock(line->ownerMutex);
    line->closed = true;
    if (line->letGo)
        portClosed(line->port);
}

} // namespace kavrel::board
