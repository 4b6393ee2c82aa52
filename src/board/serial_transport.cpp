#include "board/serial_transport.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

#include <chrono>

namespace kavrel::board {

namespace {

// QSerialPort's own writes are flushed to the system by this wait; the
// system's buffer takes them at once unless the adapter is stuck.
constexpr int kWriteWaitMs = 2000;

std::string text(const QString& s) {
    return s.toStdString();
}

// The device's file, as Qt makes it from a port's name (ttyUSB0 is
// /dev/ttyUSB0, a path stays a path); none where ports have no file. Asking
// Qt's list of ports instead costs a look at every device of the system.
QString deviceFile(const QString& name) {
#ifdef Q_OS_WIN
    (void)name;
    return {};
#else
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./")) ||
        name.startsWith(QLatin1String("../")))
        return name;
    return QStringLiteral("/dev/") + name;
#endif
}

} // namespace

SerialTransport::SerialTransport() {
    clock_.start();
}

SerialTransport::~SerialTransport() {
    close();
}

void SerialTransport::open(const std::string& port, unsigned baud) {
    close();
    // A terminal of this program that let the port go may not have closed it yet.
    awaitPortClosed(port, kPortReleaseWait);
    port_ = std::make_unique<QSerialPort>();
    port_->setPortName(QString::fromStdString(port));
    if (!port_->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_->error();
        const std::string detail = text(port_->errorString());
        const QString location = deviceFile(QString::fromStdString(port));
        port_.reset();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            throw PortError(PortFault::NotFound, detail);
        case QSerialPort::PermissionError: {
            // Qt says the same for a port held by another program and for one
            // this user may not open: the device's own rights tell them apart.
            const QFileInfo device(location.isEmpty() ? QString::fromStdString(port) : location);
            if (device.exists() && !(device.isReadable() && device.isWritable()))
                throw PortError(PortFault::AccessDenied, detail);
            throw PortError(PortFault::Busy, detail);
        }
        case QSerialPort::OpenError:
            throw PortError(PortFault::Busy, detail);
        default:
            throw PortError(PortFault::Other, detail);
        }
    }
    location_ = deviceFile(QString::fromStdString(port));
    if (!port_->setBaudRate(static_cast<qint32>(baud))) {
        port_.reset();
        throw PortError(PortFault::SpeedRefused);
    }
    if (!port_->setDataBits(QSerialPort::Data8) || !port_->setParity(QSerialPort::NoParity) ||
        !port_->setStopBits(QSerialPort::OneStop) ||
        !port_->setFlowControl(QSerialPort::NoFlowControl))
        fail("réglage");
    // Bytes left from before (the loader's break, a program's output) go.
    port_->clear(QSerialPort::AllDirections);
}

void SerialTransport::write(std::span<const std::uint8_t> bytes) {
    if (!port_)
        throw PortError(PortFault::Other, "port fermé");
    const qint64 n =
        port_->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    if (n != static_cast<qint64>(bytes.size()))
        checkIo();
    if (!port_->waitForBytesWritten(kWriteWaitMs))
        checkIo();
}

std::size_t SerialTransport::read(std::span<std::uint8_t> into, Duration timeout) {
    if (!port_)
        throw PortError(PortFault::Other, "port fermé");
    if (port_->bytesAvailable() == 0) {
        // Rounded up to the millisecond: never back before the deadline.
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
        if (!port_->waitForReadyRead(static_cast<int>(ms))) {
            checkIo();
            return 0;
        }
    }
    const qint64 n = port_->read(reinterpret_cast<char*>(into.data()),
                                 static_cast<qint64>(into.size()));
    if (n < 0)
        checkIo();
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void SerialTransport::setBaud(unsigned baud) {
    if (!port_)
        throw PortError(PortFault::Other, "port fermé");
    if (!port_->setBaudRate(static_cast<qint32>(baud))) {
        port_->clearError();
        throw PortError(PortFault::SpeedRefused);
    }
}

void SerialTransport::pulseReset(Duration low) {
    if (!port_)
        throw PortError(PortFault::Other, "port fermé");
    if (!port_->setDataTerminalReady(false) || !port_->setRequestToSend(false)) {
        port_->clearError();
        throw PortError(PortFault::NoControlLines);
    }
    QThread::msleep(
        static_cast<unsigned long>(std::chrono::ceil<std::chrono::milliseconds>(low).count()));
    if (!port_->setDataTerminalReady(true) || !port_->setRequestToSend(true))
        checkIo();
}

void SerialTransport::close() {
    if (port_) {
        // What the loader did not take yet is of no use to anybody.
        port_->clear(QSerialPort::Output);
        port_->close();
        port_.reset();
    }
}

Duration SerialTransport::now() const {
    return std::chrono::nanoseconds(clock_.nsecsElapsed());
}

void SerialTransport::moveTo(QThread* thread) {
    if (port_)
        port_->moveToThread(thread);
}

void SerialTransport::fail(const char* what) {
    const std::string detail = port_ ? text(port_->errorString()) : std::string(what);
    port_.reset();
    throw PortError(PortFault::Other, detail);
}

void SerialTransport::checkIo() {
    const QSerialPort::SerialPortError error = port_->error();
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        port_->clearError();
        return;
    case QSerialPort::ResourceError:
        // The device went away under us: an adapter unplugged.
        throw PortError(PortFault::Vanished, text(port_->errorString()));
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        // A device hung up does not always say so (a pseudo-terminal's other
        // end closed fails with ENOTTY), but its file is gone. Where ports
        // have no file (Windows), a failing read or write is an unplug too.
        if (!QFileInfo::exists(location_))
            throw PortError(PortFault::Vanished, text(port_->errorString()));
        throw PortError(PortFault::Other, text(port_->errorString()));
    default:
        throw PortError(PortFault::Other, text(port_->errorString()));
    }
}

} // namespace kavrel::board
