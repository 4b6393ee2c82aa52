// The board's protocols through the Win32 port under Wine: a Linux sim11 on a
// pseudo-terminal stands for each board, mapped to a COM port by the Wine
// prefix's dosdevices links (scripts/lib/wine.sh, wine_com_board). Each test
// takes the port its variable names (COM5...) and is skipped without it:
//   KAVREL_COM_BOOT     sim11 --chip E9 --mode boot --baud 1200, its break taken
//   KAVREL_COM_TALKER   sim11 --chip E9 --mode boot, for the talker
//   KAVREL_COM_MONITOR  sim11 --board evb --mode expanded with BUFFALO
#ifdef _WIN32

#include "asmhc11/assembler.h"
#include "board/boot_image.h"
#include "board/bootstrap.h"
#include "board/monitor_load.h"
#include "board/talker.h"
#include "board/win32_serial.h"
#include "buffalo_board.h"
#include "course_program.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace kavrel::board::test {
namespace {

using namespace std::chrono_literals;

std::string comPort(const char* variable) {
    const char* port = std::getenv(variable);
    return port ? port : "";
}

// A pseudo-terminal has no DTR or RTS, which Wine says as "not supported":
// the reset by the lines says it cannot, and the port serves the load that
// follows all the same.
TEST(ComPort, ABootstrapLoadGreetsAndAResetByTheLinesSaysItCannot) {
    const std::string com = comPort("KAVREL_COM_BOOT");
    if (com.empty())
        GTEST_SKIP() << "KAVREL_COM_BOOT absent";
    asmhc11::Options options;
    options.mode = asmhc11::Mode::Boo;
    const asmhc11::Result assembled = asmhc11::assembleSource(kCourse, options);
    ASSERT_TRUE(assembled.ok());
    const std::vector<std::uint8_t> image = parseBootImage(assembled.boo, "cours.BOO");

    {
        Win32SerialTransport port;
        DownloadSettings settings{com, 1200, Family::E, false};
        settings.resetByLines = true;
        const DownloadResult result = BootstrapDownload(image, settings).run(port);
        EXPECT_EQ(result.outcome, Outcome::PortFailed);
        EXPECT_NE(result.message.find("n'a pas de ligne DTR ni RTS"), std::string::npos)
            << result.message;
        EXPECT_EQ(result.verified, 0u);
    }

    Win32SerialTransport port;
    BootstrapDownload load(image, {"\\\\.\\" + com, 1200, Family::E, true});
    const DownloadResult result = load.run(port);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(result.verified, image.size());
    std::string greeting = result.programOutput;
    if (greeting.find("\r\n") == std::string::npos)
        greeting += listenFor(port, 5s, "\r\n");
    EXPECT_EQ(greeting, "Carte prete\r\n");
    const std::uint8_t key = 'k';
    port.write({&key, 1});
    EXPECT_EQ(listenFor(port, 5s, "l"), "l");
    // The same call on the open port: it cannot, and the port stays open.
    try {
        port.pulseReset(10ms);
        ADD_FAILURE() << "une impulsion sur des lignes absentes";
    } catch (const PortError& error) {
        EXPECT_EQ(error.fault(), PortFault::NoControlLines);
    }
    ASSERT_TRUE(port.isOpen());
    port.write({&key, 1});
    EXPECT_EQ(listenFor(port, 5s, "l"), "l");
    port.close();
}

TEST(ComPort, TheTalkerStopsAtABreakpointStepsAndProgramsTheEepromAndConfig) {
    const std::string com = comPort("KAVREL_COM_TALKER");
    if (com.empty())
        GTEST_SKIP() << "KAVREL_COM_TALKER absent";
    Win32SerialTransport port;
    TalkerSettings settings;
    settings.port = com;
    settings.family = Family::E;
    Talker talker(port, settings);
    talker.connect();
    ASSERT_TRUE(talker.connected());

    const asmhc11::Result assembled = asmhc11::assembleSource(R"(
        ORG $0000
        LDAA #$21
        LDAB #$43
        BEQ  LOIN
        LDX  #$1234
LOIN    BRA  LOIN
)",
                                                              asmhc11::Mode::S19);
    ASSERT_TRUE(assembled.ok());
    for (const asmhc11::Segment& s : assembled.segments())
        talker.write(s.address, s.bytes);
    const std::uint16_t bp[] = {0x0004};
    talker.go(bp);
    std::vector<std::uint8_t> output;
    const std::optional<TalkerStop> stop = talker.waitStop(5s, output);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->reason, TalkerStopReason::Breakpoint);
    EXPECT_EQ(stop->registers.pc, 0x0004);
    EXPECT_EQ(stop->registers.a, 0x21);
    EXPECT_EQ(stop->registers.b, 0x43);
    EXPECT_EQ(talker.step().registers.pc, 0x0006) << "BEQ not taken";

    const std::uint8_t bytes[] = {0xA5, 0x3C};
    talker.programEeprom(0xB7F0, bytes);
    EXPECT_EQ(talker.read(0xB7F0, 2), (std::vector<std::uint8_t>{0xA5, 0x3C}));

    // CONFIG programmed and read back from its cell; in force at the next reset only.
    EXPECT_EQ(talker.configInForce(), 0x0F);
    talker.programConfig(0x0D);
    EXPECT_EQ(talker.configInForce(), 0x0F) << "until reset";
    talker.close();
}

TEST(ComPort, AProgramLoadedThroughBuffaloRunsWithG) {
    const std::string com = comPort("KAVREL_COM_MONITOR");
    if (com.empty())
        GTEST_SKIP() << "KAVREL_COM_MONITOR absent";
    std::string error;
    const std::optional<S19Program> program = parseS19Program(greeter(0x0100), error);
    ASSERT_TRUE(program) << error;
    MonitorSettings settings;
    settings.port = com;
    settings.baud = 9600;
    settings.keepOpen = true;
    Win32SerialTransport port;
    const MonitorResult result = MonitorLoad(*program, settings).run(port);
    ASSERT_TRUE(result.ok()) << result.message << " / " << result.answer;
    const std::atomic<bool> never{false};
    const StartResult started = startProgram(port, program->entry, com, 9600, never);
    ASSERT_TRUE(started.ok) << started.message;
    std::string output = started.programOutput;
    if (output.find("BONJOUR") == std::string::npos)
        output += listenFor(port, 5s, "BONJOUR");
    EXPECT_NE(output.find("BONJOUR"), std::string::npos) << output;
    port.close();
}

} // namespace
} // namespace kavrel::board::test

#endif
