#pragma once

// The serial port through the Win32 API: the transport of Windows builds
// that have no Qt Serial Port, and the ports the system knows.
#include "board/transport.h"

#include <string>
#include <vector>

namespace kavrel::board {

// What Windows calls a port's device, "USB Serial Port (COM3)", without the
// port's own name at its end: "USB Serial Port".
std::string portDescription(const std::string& friendlyName, const std::string& port);

} // namespace kavrel::board

#ifdef _WIN32
namespace kavrel::board {

class Win32SerialTransport final : public Transport {
public:
    Win32SerialTransport();
    ~Win32SerialTransport() override;

    // `port`: COM3, COM12 or \\.\COM12.
    void open(const std::string& port, unsigned baud) override;
    void write(std::span<const std::uint8_t> bytes) override;
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override;
    void setBaud(unsigned baud) override;
    void pulseReset(Duration low) override;
    void close() override;
    Duration now() const override;

    bool isOpen() const { return handle_ != nullptr; }

private:
    [[noreturn]] void fail(unsigned long error);
    void applySettings(unsigned baud);
    void setReadTimeout(unsigned long ms, bool wait);

    void* handle_ = nullptr; // HANDLE
    unsigned long timeoutMs_ = 0;
    bool timeoutWait_ = false;
    bool timeoutSet_ = false;
};

// The COM ports of HARDWARE\DEVICEMAP\SERIALCOMM (plugged adapters
// included), in the order of their numbers.
std::vector<std::string> win32SerialPorts();

// The same ports with what the device manager says of them (description and
// maker, empty where it says nothing).
struct Win32Port {
    std::string name;
    std::string description;
    std::string maker;
};
std::vector<Win32Port> win32SerialPortDetails();

} // namespace kavrel::board
#endif
