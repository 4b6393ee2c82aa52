// The real serial port against sim11's own loader on a pseudo-terminal
// (`sim11 --mode boot --sci pty`), for both families: the program loaded
// greets, then answers a key, on the port the load left open.
#if defined(__linux__) && defined(KAVREL_TEST_SIM11)

#include "asmhc11/assembler.h"
#include "board/boot_image.h"
#include "board/bootstrap.h"
#include "board/serial_transport.h"
#include "board/sim11_pty.h"
#include "course_program.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kavrel::board::test {
namespace {

using namespace std::chrono_literals;

TEST(Sim11OnAPseudoTerminal, BothFamiliesLoadThenTheProgramAnswersOnTheSamePort) {
    asmhc11::Options options;
    options.mode = asmhc11::Mode::Boo;
    const asmhc11::Result assembled = asmhc11::assembleSource(kCourse, options);
    ASSERT_TRUE(assembled.ok());
    const std::vector<std::uint8_t> image = parseBootImage(assembled.boo, "cours.BOO");

    for (const auto& [chip, family] : {std::pair{"A1", Family::A}, std::pair{"E9", Family::E}}) {
        SCOPED_TRACE(chip);
        Sim11OnPty board(KAVREL_TEST_SIM11, chip);
        ASSERT_FALSE(board.path().empty()) << board.said();
        SerialTransport port;
        BootstrapDownload load(image, {board.path(), 1200, family, true});
        const DownloadResult result = load.run(port);
        ASSERT_TRUE(result.ok()) << result.message;
        EXPECT_EQ(result.verified, family == Family::A ? 256u : image.size());

        const std::string greeting = result.programOutput + listenFor(port, 5s, "\r\n");
        EXPECT_EQ(greeting, "Carte prete\r\n");
        const std::uint8_t key = 'k';
        port.write({&key, 1});
        EXPECT_EQ(listenFor(port, 5s, "l"), "l");
        port.close();
    }
}

} // namespace
} // namespace kavrel::board::test

#endif
