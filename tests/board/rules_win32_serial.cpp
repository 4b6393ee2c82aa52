// The Win32 serial transport: the faults a user meets before any byte goes
// (under Wine too, where no COM port of these numbers exists), and how the
// device manager's words become a port's description.
#include "board/win32_serial.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

namespace kavrel::board {
namespace {

TEST(Win32Serial, TheDescriptionLeavesOutThePortsOwnName) {
    EXPECT_EQ(portDescription("USB Serial Port (COM3)", "COM3"), "USB Serial Port");
    EXPECT_EQ(portDescription("Prolific USB-to-Serial Comm Port (COM12)", "COM12"),
              "Prolific USB-to-Serial Comm Port");
    // Another port's name, or none, is part of the description.
    EXPECT_EQ(portDescription("USB Serial Port (COM3)", "COM4"), "USB Serial Port (COM3)");
    EXPECT_EQ(portDescription("Port de communication", "COM1"), "Port de communication");
    EXPECT_EQ(portDescription(" (COM1)", "COM1"), " (COM1)");
    EXPECT_EQ(portDescription("", "COM1"), "");
}

// A line let go of without waiting closes its port a moment later: the next
// opening of that port, under either of its names, waits for it.
TEST(ClosingPorts, TheNextOpeningWaitsForALineStillClosingThePort) {
    EXPECT_TRUE(awaitPortClosed("COM7", Duration::zero()));
    portClosing("COM7");
    EXPECT_FALSE(awaitPortClosed("\\\\.\\COM7", std::chrono::milliseconds(20)));
    EXPECT_TRUE(awaitPortClosed("COM8", Duration::zero())) << "another port is not waited for";
    std::thread line([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        portClosed("\\\\.\\COM7");
    });
    EXPECT_TRUE(awaitPortClosed("COM7", std::chrono::seconds(10)));
    line.join();

    // Two lines on the same port: both must have let it go.
    portClosing("/dev/ttyUSB0");
    portClosing("/dev/ttyUSB0");
    portClosed("/dev/ttyUSB0");
    EXPECT_FALSE(awaitPortClosed("/dev/ttyUSB0", Duration::zero()));
    portClosed("/dev/ttyUSB0");
    EXPECT_TRUE(awaitPortClosed("/dev/ttyUSB0", Duration::zero()));
}

#ifdef _WIN32

PortFault faultOpening(const std::string& port) {
    Win32SerialTransport transport;
    try {
        transport.open(port, 1200);
    } catch (const PortError& error) {
        EXPECT_FALSE(transport.isOpen());
        return error.fault();
    }
    ADD_FAILURE() << port << " ouvert";
    return PortFault::Other;
}

TEST(Win32Serial, APortThatIsNotThereIsNotFoundWhateverItsSpelling) {
    EXPECT_EQ(faultOpening("COM250"), PortFault::NotFound);
    EXPECT_EQ(faultOpening("\\\\.\\COM251"), PortFault::NotFound);
    EXPECT_EQ(faultOpening("kavrel-pas-de-port"), PortFault::NotFound);
}

TEST(Win32Serial, AClosedTransportRefusesEverythingAndClosesTwice) {
    Win32SerialTransport transport;
    const std::uint8_t byte = 0xFF;
    EXPECT_THROW(transport.write({&byte, 1}), PortError);
    std::uint8_t into[4];
    EXPECT_THROW(transport.read(into, std::chrono::milliseconds(1)), PortError);
    EXPECT_THROW(transport.setBaud(9600), PortError);
    EXPECT_THROW(transport.pulseReset(std::chrono::milliseconds(1)), PortError);
    transport.close();
    transport.close();
    const Duration before = transport.now();
    EXPECT_GE(transport.now(), before);
}

TEST(Win32Serial, TheSystemsPortsAreComNamesInTheOrderOfTheirNumbers) {
    const std::vector<std::string> ports = win32SerialPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].rfind("COM", 0), 0u) << ports[i];
        if (i > 0 && ports[i - 1].size() == ports[i].size()) {
            EXPECT_LT(ports[i - 1], ports[i]);
        }
    }
}

TEST(Win32Serial, TheDetailedListHasTheSamePortsInTheSameOrder) {
    const std::vector<std::string> names = win32SerialPorts();
    const std::vector<Win32Port> details = win32SerialPortDetails();
    ASSERT_EQ(details.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(details[i].name, names[i]);
}
#endif

} // namespace
} // namespace kavrel::board
