// The Win32 serial transport: the faults a user meets before any byte goes
// (under Wine too, where no COM port of these numbers exists).
#ifdef _WIN32

#include "board/win32_serial.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kavrel::board {
namespace {

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
        if (i > 0 && ports[i - 1].size() == ports[i].size())
            EXPECT_LT(ports[i - 1], ports[i]);
    }
}

} // namespace
} // namespace kavrel::board

#endif
