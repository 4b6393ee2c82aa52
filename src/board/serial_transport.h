#pragma once

// The byte transport on a real serial port, for the download's worker
// thread: made, used and closed on that thread (QSerialPort's waits need no
// event loop there), the user-interface thread never blocked by it.
#include "board/transport.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>

class QSerialPort;
class QThread;

namespace kavrel::board {

class SerialTransport final : public Transport {
public:
    SerialTransport();
    ~SerialTransport() override;

    // `port`: a name from the system's list (ttyUSB0, COM3) or a path (a
    // pseudo-terminal's /dev/pts/4).
    void open(const std::string& port, unsigned baud) override;
    void write(std::span<const std::uint8_t> bytes) override;
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override;
    void setBaud(unsigned baud) override;
    void pulseReset(Duration low) override;
    void close() override;
    Duration now() const override;

    // Hands the open port to `thread` (a serial link's, not started yet),
    // which uses it from then on. Called on the thread that uses it now.
    void moveTo(QThread* thread);

private:
    [[noreturn]] void fail(const char* what);
    void checkIo();

    std::unique_ptr<QSerialPort> port_;
    QString location_; // the device's file, while open
    QElapsedTimer clock_;
};

} // namespace kavrel::board
