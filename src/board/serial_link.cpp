#include "board/serial_link.h"

#include <QThread>

#include <array>
#include <chrono>

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

SerialLink::SerialLink(std::unique_ptr<Transport> transport, const QString& name, unsigned baud,
                       QObject* parent)
    : QObject(parent), transport_(std::move(transport)), name_(name), baud_(baud) {
    qRegisterMetaType<kavrel::board::PortFault>();
    thread_.reset(QThread::create([this] { run(); }));
#if KAVREL_QT_SERIAL
    // Qt's port belongs to one thread: it goes to the line's before it starts.
    if (auto* serial = dynamic_cast<SerialTransport*>(transport_.get()))
        serial->moveTo(thread_.get());
#endif
}

SerialLink::~SerialLink() {
    stop_.store(true);
    // Never started: the thread still runs, only to close the port there.
    if (!thread_->isRunning() && !thread_->isFinished() && transport_)
        thread_->start();
    thread_->wait();
}

void SerialLink::start() {
    if (!thread_->isRunning() && transport_)
        thread_->start();
}

void SerialLink::write(const QByteArray& bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    outgoing_.append(bytes);
}

void SerialLink::setBaud(unsigned baud) {
    const std::lock_guard<std::mutex> lock(mutex_);
    newBaud_ = baud;
}

void SerialLink::run() {
    std::array<std::uint8_t, 512> buffer{};
    while (!stop_.load()) {
        QByteArray out;
        std::optional<unsigned> rate;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            out.swap(outgoing_);
            rate.swap(newBaud_);
        }
        try {
            if (rate && !changeBaud(*rate))
                emit baudRefused(*rate);
            if (!out.isEmpty())
                transport_->write({reinterpret_cast<const std::uint8_t*>(out.constData()),
                                   static_cast<std::size_t>(out.size())});
            const auto asked = std::chrono::steady_clock::now();
            const std::size_t n = transport_->read(buffer, std::chrono::milliseconds(kPollMs));
            if (n > 0)
                emit received(QByteArray(reinterpret_cast<const char*>(buffer.data()),
                                         static_cast<qsizetype>(n)));
            else if (std::chrono::steady_clock::now() - asked < std::chrono::milliseconds(1))
                // A line that says "nothing" without waiting is not spun on.
                QThread::msleep(kPollMs);
        } catch (const PortError& error) {
            emit failed(error.fault(), QString::fromStdString(error.detail()));
            break;
        }
    }
    // Closed on the thread that used it last.
    transport_->close();
    transport_.reset();
}

bool SerialLink::changeBaud(unsigned baud) {
    std::optional<PortError> failure;
    try {
        transport_->setBaud(baud);
    } catch (const PortError& error) {
        failure = error;
    }
    if (failure && failure->fault() == PortFault::SpeedRefused)
        return false;
    if (failure)
        throw *failure;
    baud_ = baud;
    emit baudChanged(baud);
    return true;
}

} // namespace kavrel::board
