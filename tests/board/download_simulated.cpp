// The bootstrap download with the simulator as the board: the chip's own
// loader takes the bytes, and the program it loaded greets the terminal.
#include "board/boot_image.h"
#include "board/bootstrap.h"
#include "simulated_board.h"

#include "asmhc11/assembler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

namespace kavrel::board::test {
namespace {

using namespace std::chrono_literals;
using sim11::Chip;
using testing::HasSubstr;
using testing::StartsWith;

// Greets on the SCI at the loader's speed, then answers each key with the
// next character (so an answer cannot be a loop-back of the key).
constexpr const char* kGreeter = R"(SCSR    EQU $102E
SCDR    EQU $102F
        ORG $0000
DEBUT   LDX #TEXTE
ENVOI   LDAA 0,X
        BEQ ECOUTE
        BSR EMET
        INX
        BRA ENVOI
ECOUTE  LDAB SCSR
        ANDB #$20
        BEQ ECOUTE
        LDAA SCDR
        INCA
        BSR EMET
        BRA ECOUTE
EMET    LDAB SCSR
        BPL EMET
        STAA SCDR
        RTS
TEXTE   FCC "Bonjour"
        FCB 13,10,0
)";

std::vector<std::uint8_t> greeterImage() {
    asmhc11::Options options;
    options.mode = asmhc11::Mode::Boo;
    const asmhc11::Result result = asmhc11::assembleSource(kGreeter, options);
    EXPECT_TRUE(result.ok());
    return parseBootImage(result.boo, "bonjour.BOO");
}

// What the port gives within `time`.
std::string listen(Transport& port, Duration time) {
    std::string heard;
    std::uint8_t buffer[64];
    const Duration end = port.now() + time;
    for (Duration now = port.now(); now < end; now = port.now()) {
        const std::size_t n = port.read(buffer, end - now);
        heard.append(buffer, buffer + n);
    }
    return heard;
}

struct Board {
    Chip chip;
    std::uint32_t crystal;
    unsigned baud;
    Family family;
};

std::string name(const Board& b) {
    return std::string(sim11::chipName(b.chip)) + " à " + std::to_string(b.baud) + " bauds";
}

TEST(SimulatedBoard, EveryByteLandsInRamAndTheProgramGreetsThenAnswers) {
    const Board boards[] = {
        {Chip::E9, 8'000'000, 7812, Family::E},
        {Chip::E9, 8'000'000, 1200, Family::E}, // the $FF arrives garbled: the loader slows down
        {Chip::E1, 8'000'000, 1200, Family::E},
        {Chip::A1, 8'000'000, 1200, Family::A},
        {Chip::A1, 8'000'000, 7812, Family::A},
        {Chip::E9, 9'830'400, 9600, Family::E}, // a crystal for standard speeds
    };
    const std::vector<std::uint8_t> image = greeterImage();
    for (const Board& b : boards) {
        SCOPED_TRACE(name(b));
        SimulatedBoard board(b.chip, b.crystal);
        BootstrapDownload load(image, {"simulateur", b.baud, b.family, true});
        const DownloadResult result = load.run(board);
        ASSERT_TRUE(result.ok()) << result.message;
        ASSERT_TRUE(board.isOpen());

        // The program's own bytes, as sent; the stack's two bytes at the top
        // of page zero have been used by its calls since.
        const auto loaded = *loadBytes(image, b.family);
        for (std::size_t a = 0; a < loaded.size(); ++a) {
            if (a < 0xFE) {
                ASSERT_EQ(board.machine().peek(static_cast<std::uint16_t>(a)), loaded[a]) << a;
            }
        }

        EXPECT_EQ(result.programOutput + listen(board, 200ms), "Bonjour\r\n");
        const std::uint8_t key = 'a';
        board.write({&key, 1});
        EXPECT_EQ(listen(board, 100ms), "b");
    }
}

TEST(SimulatedBoard, AHostPauseEndsAnELoadButNotAnALoad) {
    // The host's thread is put to sleep for 150 ms (eighteen character times
    // at 1200 bauds) in the middle of the program.
    const std::vector<std::uint8_t> image = greeterImage();
    for (const Family family : {Family::E, Family::A}) {
        SCOPED_TRACE(familyName(family));
        SimulatedBoard board(family == Family::E ? Chip::E9 : Chip::A1);
        board.stallAfter = 100;
        board.stall = 150ms;
        BootstrapDownload load(image, {"simulateur", 1200, family, false});
        const DownloadResult result = load.run(board);
        if (family == Family::A) {
            EXPECT_TRUE(result.ok()) << result.message;
            continue;
        }
        // The loader took the program as ended and started it: it was told
        // why, rather than of a wrong echo.
        EXPECT_EQ(board.machine().peek(0x102B) & 0x30, 0x30) << "loader at 1200 bauds";
        EXPECT_EQ(result.outcome, Outcome::Paused) << result.message;
        EXPECT_THAT(result.message, StartsWith("L'envoi s'est interrompu "));
        EXPECT_THAT(result.message, HasSubstr("la carte (famille E) a pris cette pause pour la "
                                              "fin du programme."));
        EXPECT_GE(result.verified, 100u);
        EXPECT_LT(result.verified, 256u);
    }
}

TEST(SimulatedBoard, ASlowAdapterDoesNotEndAnELoad) {
    // The adapter holds what it receives for 150 ms, longer than the bytes
    // handed over ahead take to leave at 9600 bauds: they keep going out
    // while the echoes lag.
    SimulatedBoard board(Chip::E9, 9'830'400);
    board.latency = 150ms;
    BootstrapDownload load(greeterImage(), {"simulateur", 9600, Family::E, false});
    const DownloadResult result = load.run(board);
    EXPECT_TRUE(result.ok()) << result.message;
}

TEST(SimulatedBoard, ASpeedTheLoaderCannotUseFailsWithAMessage) {
    // 9600 bauds with an 8 MHz crystal: the loader runs at 7812 or 1200.
    SimulatedBoard board(Chip::E9);
    BootstrapDownload load(greeterImage(), {"simulateur", 9600, Family::E, false});
    const DownloadResult result = load.run(board);
    EXPECT_TRUE(result.outcome == Outcome::WrongEcho || result.outcome == Outcome::NoAnswer)
        << result.message;
    EXPECT_FALSE(result.message.empty());
}

TEST(SimulatedBoard, SpeedsAcrossTheLineGarbleAsAReceiverReadsThem) {
    // $FF sent at 1200 bauds into a receiver at 7812: the long start bit is
    // read as six zeros, then the line's ones.
    EXPECT_EQ(acrossLine(0xFF, 1e9 / 1200, 1e9 / 7812.5), 0xC0);
    EXPECT_EQ(acrossLine(0x5A, 1e9 / 1200, 1e9 / 1201.9), 0x5A);
}

// A board whose RESET hangs on the port's DTR and RTS: after a program was
// loaded and runs, a second load only gets through with the reset pulse,
// and a port with no such lines says how to do without.
TEST(SimulatedBoard, TheControlLinesResetABoardWiredForItIntoItsLoader) {
    SimulatedBoard board(Chip::E9);
    board.resetWired = true;
    const std::vector<std::uint8_t> image = greeterImage();
    DownloadSettings settings{"/dev/ttyUSB0", 1200, Family::E, true};
    const DownloadResult first = BootstrapDownload(image, settings).run(board);
    ASSERT_TRUE(first.ok()) << first.message;
    EXPECT_EQ(board.pulses, 0u);
    EXPECT_THAT(first.programOutput + listen(board, 200ms), HasSubstr("Bonjour"));
    board.close();

    // The program answers keys now, not the loader.
    const DownloadResult again = BootstrapDownload(image, settings).run(board);
    EXPECT_FALSE(again.ok()) << again.message;

    settings.resetByLines = true;
    const DownloadResult reset = BootstrapDownload(image, settings).run(board);
    ASSERT_TRUE(reset.ok()) << reset.message;
    EXPECT_EQ(board.pulses, 1u);
    EXPECT_EQ(reset.verified, image.size());
    EXPECT_THAT(reset.programOutput + listen(board, 200ms), HasSubstr("Bonjour"));

    SimulatedBoard pty(Chip::E9);
    pty.controlLines = false;
    const DownloadResult noLines = BootstrapDownload(image, settings).run(pty);
    EXPECT_EQ(noLines.outcome, Outcome::PortFailed);
    EXPECT_THAT(noLines.message, StartsWith("Le port /dev/ttyUSB0 n'a pas de ligne DTR ni RTS"));
    EXPECT_FALSE(pty.isOpen());
}

} // namespace
} // namespace kavrel::board::test
