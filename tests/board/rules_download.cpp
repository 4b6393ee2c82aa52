// The bootstrap download against scripted boards: what is sent, when, and
// what the user is told for each way a load goes wrong.
#include "board/board_texts.h"
#include "board/boot_image.h"
#include "board/bootstrap.h"
#include "board/fill_text.h"
#include "board/scripted_board.h"
#include "common/hex_text.h"
#include "platform/failure.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>

namespace kavrel::board::test {
namespace {

using namespace std::chrono_literals;

const std::string kPort = "/dev/ttyUSB0";

std::vector<std::uint8_t> program(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    // Every value, so that a shifted or repeated echo cannot match by chance.
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0x86});
    return bytes;
}

struct Attempt {
    DownloadResult result;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
};

Attempt download(ScriptedBoard& board, const std::vector<std::uint8_t>& bytes, Family family,
             unsigned baud = 1200) {
    BootstrapDownload load(bytes, {kPort, baud, family, false});
    Attempt run;
    load.onProgress = [&](std::size_t done, std::size_t total) {
        run.progress.emplace_back(done, total);
    };
    run.result = load.run(board);
    return run;
}

std::vector<std::uint8_t> sentProgram(const ScriptedBoard& board) {
    return {board.written.begin() + 1, board.written.end()};
}

// --- a board that works ---

TEST(Download, ECorrectBoardGetsFfThenTheProgramEachByteChecked) {
    ScriptedBoard board;
    board.waiting = std::string(1, '\0'); // the loader's break, before the load
    const auto bytes = program(300);
    const Attempt run = download(board, bytes, Family::E);
    ASSERT_TRUE(run.result.ok()) << run.result.message;
    EXPECT_EQ(run.result.message, "Programme chargé : 300 octets envoyés et vérifiés.");
    EXPECT_EQ(board.written.front(), 0xFF);
    EXPECT_EQ(sentProgram(board), bytes);
    EXPECT_EQ(run.result.verified, 300u);
    EXPECT_EQ(board.baud, 1200u);
    EXPECT_FALSE(board.isOpen);
    ASSERT_EQ(run.progress.size(), 301u);
    EXPECT_EQ(run.progress.front(), std::make_pair(std::size_t{0}, std::size_t{300}));
    EXPECT_EQ(run.progress.back(), std::make_pair(std::size_t{300}, std::size_t{300}));
}

TEST(Download, APartIsPaddedWithZerosToTwoHundredFiftySix) {
    ScriptedBoard board;
    const auto bytes = program(5);
    const Attempt run = download(board, bytes, Family::A, 7812);
    ASSERT_TRUE(run.result.ok()) << run.result.message;
    ASSERT_EQ(board.written.size(), 257u);
    EXPECT_EQ(run.result.total, 256u);
    std::vector<std::uint8_t> expected = bytes;
    expected.resize(256, 0x00);
    EXPECT_EQ(sentProgram(board), expected);
    EXPECT_EQ(run.progress.back(), std::make_pair(std::size_t{256}, std::size_t{256}));
}

TEST(Download, TakesTheWiresOwnTimeAndKeepsQuietAfterAnELoad) {
    // 257 characters at 1200 bauds: 2.14 s. The E loader then needs four
    // character times of silence to end the load.
    for (const Family family : {Family::A, Family::E}) {
        ScriptedBoard board;
        ASSERT_TRUE(download(board, program(256), family).result.ok());
        const Duration wire = 257 * board.character();
        const Duration last = board.leftAt.back() + board.character();
        EXPECT_LE(last, wire + wire / 20) << familyName(family);
        if (family == Family::E) {
            EXPECT_GE(board.now(), last + 4 * board.character());
        }
    }
}

TEST(Download, WhatTheProgramSaysAfterTheLoadIsKeptForTheTerminal) {
    // The program speaks while the E loader's pause is still being kept: those
    // first words come with the result, the rest on the port left open.
    ScriptedBoard board;
    board.greeting = "Bonjour\r\n";
    board.programSize = 40;
    BootstrapDownload load(program(40), {kPort, 1200, Family::E, true});
    const DownloadResult result = load.run(board);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_FALSE(result.programOutput.empty());
    std::string heard = result.programOutput;
    std::uint8_t buffer[64];
    while (const std::size_t n = board.read(buffer, 100ms))
        heard.append(buffer, buffer + n);
    EXPECT_EQ(heard, "Bonjour\r\n");
}

TEST(Download, KeepOpenLeavesTheLoadedPortToTheTerminal) {
    ScriptedBoard board;
    BootstrapDownload load(program(10), {kPort, 1200, Family::E, true});
    ASSERT_TRUE(load.run(board).ok());
    EXPECT_TRUE(board.isOpen);
    board.silentFrom = 0;
    BootstrapDownload failing(program(10), {kPort, 1200, Family::E, true});
    EXPECT_FALSE(failing.run(board).ok());
    EXPECT_FALSE(board.isOpen) << "a failed load closes the port";
}

// --- late answers ---

TEST(Download, ALateBoardIsWaitedForWithinTheAnswerTime) {
    for (const unsigned baud : {1200u, 9600u}) {
        for (const Family family : {Family::A, Family::E}) {
            ScriptedBoard board;
            board.latency = timingFor(baud, family).answer - 10ms;
            const Attempt run = download(board, program(200), family, baud);
            EXPECT_TRUE(run.result.ok()) << baud << " " << familyName(family) << ": "
                                         << run.result.message;
        }
    }
}

TEST(Download, EKeepsTheLineBusyWhileEchoesLag) {
    // The echoes lag far behind the window: an E loader would take a pause
    // for the end of the program, so the bytes go on regardless.
    ScriptedBoard board;
    board.latency = 200ms;
    const Attempt run = download(board, program(512), Family::E, 9600);
    ASSERT_TRUE(run.result.ok()) << run.result.message;
    EXPECT_LE(board.longestGap(), timingFor(9600, Family::E).loaderPause);
}

TEST(Download, TooLateIsNoAnswerAndTheTimeDependsOnTheSpeed) {
    // What a 300-baud load waits for is too late at 9600 bauds.
    const Duration lag = timingFor(9600, Family::E).answer + 50ms;
    ScriptedBoard slow;
    slow.latency = lag;
    EXPECT_TRUE(download(slow, program(20), Family::E, 300).result.ok());

    ScriptedBoard fast;
    fast.latency = lag;
    const Attempt run = download(fast, program(20), Family::E, 9600);
    EXPECT_EQ(run.result.outcome, Outcome::NoAnswer);
}

// --- faults ---

TEST(Download, SilentBoardIsNoAnswerNamingThePort) {
    for (const Family family : {Family::A, Family::E}) {
        ScriptedBoard board;
        board.silentFrom = 0;
        const Attempt run = download(board, program(100), family);
        EXPECT_EQ(run.result.outcome, Outcome::NoAnswer);
        EXPECT_EQ(run.result.message,
                  "La carte ne répond pas : vérifiez qu'elle est en mode bootstrap, alimentée et "
                  "reliée à /dev/ttyUSB0, puis appuyez sur RESET.");
        EXPECT_EQ(run.result.verified, 0u);
        EXPECT_FALSE(board.isOpen);
        // Given up within the answer time, not after the whole program.
        EXPECT_LT(board.now(), timingFor(1200, family).answer + 30 * board.character());
    }
}

TEST(Download, BoardThatFallsSilentSaysHowFarItGot) {
    ScriptedBoard board;
    board.silentFrom = 120;
    const Attempt run = download(board, program(256), Family::A);
    EXPECT_EQ(run.result.outcome, Outcome::StoppedAnswering);
    EXPECT_EQ(run.result.verified, 120u);
    EXPECT_EQ(run.result.message, "La carte a cessé de répondre après 120 octets sur 256 : "
                                  "appuyez sur RESET, puis recommencez.");
}

TEST(Download, WrongEchoNamesTheByteItsAddressAndBothValues) {
    ScriptedBoard board;
    board.corruptAt = 0x1A3;
    const auto bytes = program(0x1F0);
    const Attempt run = download(board, bytes, Family::E);
    ASSERT_EQ(run.result.outcome, Outcome::WrongEcho);
    EXPECT_EQ(run.result.verified, 0x1A3u);
    EXPECT_EQ(run.result.wrongIndex, 0x1A3u);
    EXPECT_EQ(run.result.sent, bytes[0x1A3]);
    EXPECT_EQ(run.result.received, bytes[0x1A3] ^ 0x10);
    EXPECT_EQ(run.result.message,
              "L'octet n° 420 sur 496 (adresse $01A3) est revenu faux : envoyé " +
                  hex::byte(bytes[0x1A3]) + ", reçu " + hex::byte(bytes[0x1A3] ^ 0x10) +
                  ". Vérifiez la vitesse et le câble, appuyez sur RESET, puis recommencez.");
    EXPECT_FALSE(board.isOpen);
}

TEST(Download, UnpluggedHalfWayIsSaidAsSuch) {
    ScriptedBoard board;
    board.vanishAfter = 128;
    const Attempt run = download(board, program(256), Family::A);
    EXPECT_EQ(run.result.outcome, Outcome::Vanished);
    EXPECT_EQ(run.result.verified, 128u);
    EXPECT_EQ(run.result.message,
              "Le port /dev/ttyUSB0 a disparu pendant l'envoi : l'adaptateur a sans doute été "
              "débranché. Rebranchez-le, appuyez sur RESET, puis recommencez.");
}

TEST(Download, PortsThatCannotBeOpenedSendNothing) {
    struct Case {
        PortFault fault;
        Outcome outcome;
        std::string message;
    };
    const Case cases[] = {
        {PortFault::NotFound, Outcome::PortFailed,
         "Le port /dev/ttyUSB0 n'existe pas : vérifiez que l'adaptateur est branché, puis "
         "choisissez le port dans la liste."},
        {PortFault::Busy, Outcome::PortFailed,
         "Le port /dev/ttyUSB0 est déjà utilisé par un autre programme (un terminal ?) : "
         "fermez-le, puis recommencez."},
#ifdef __linux__
        {PortFault::AccessDenied, Outcome::PortFailed,
         "Vous n'avez pas le droit d'utiliser le port /dev/ttyUSB0 : ajoutez votre compte au "
         "groupe dialout (sudo adduser $USER dialout), fermez votre session et rouvrez-la, puis "
         "recommencez."},
#endif
        {PortFault::SpeedRefused, Outcome::PortFailed,
         "Le port /dev/ttyUSB0 n'accepte pas la vitesse de 1200 bauds : choisissez-en une autre."},
        {PortFault::Other, Outcome::PortFailed,
         "Le port /dev/ttyUSB0 ne fonctionne pas : refus du système"},
        {PortFault::Vanished, Outcome::Vanished, fillText(kPortVanished, {kPort})},
    };
    for (const Case& c : cases) {
        ScriptedBoard board;
        board.openFault = c.fault;
        const Attempt run = download(board, program(10), Family::E);
        EXPECT_EQ(run.result.outcome, c.outcome);
        EXPECT_EQ(run.result.message, c.message);
        EXPECT_TRUE(board.written.empty());
    }
}

// --- before anything is sent ---

TEST(Download, TooBigForTheRamIsRefusedSayingByHowMuch) {
    struct Case {
        Family family;
        std::size_t size;
        std::string message;
    };
    const Case cases[] = {
        {Family::E, 513,
         "Le programme fait 513 octets, mais la RAM d'un 68HC11 de la famille E ne compte que "
         "512 octets : il y a 1 octet de trop. Rien n'a été envoyé."},
        {Family::E, 700,
         "Le programme fait 700 octets, mais la RAM d'un 68HC11 de la famille E ne compte que "
         "512 octets : il y a 188 octets de trop. Rien n'a été envoyé."},
        {Family::A, 257,
         "Le programme fait 257 octets, mais la RAM d'un 68HC11 de la famille A ne compte que "
         "256 octets : il y a 1 octet de trop. Rien n'a été envoyé."},
    };
    for (const Case& c : cases) {
        ScriptedBoard board;
        const Attempt run = download(board, program(c.size), c.family);
        EXPECT_EQ(run.result.outcome, Outcome::Refused);
        EXPECT_EQ(run.result.message, c.message);
        EXPECT_EQ(board.opens, 0u);
    }
    // Exactly full is fine.
    ScriptedBoard board;
    EXPECT_TRUE(download(board, program(512), Family::E).result.ok());
    EXPECT_EQ(board.written.size(), 513u);
}

// --- cancellation ---

TEST(Download, CancelStopsWithinTheWindowAndClosesThePort) {
    ScriptedBoard board;
    BootstrapDownload load(program(256), {kPort, 1200, Family::A, true});
    load.onProgress = [&](std::size_t done, std::size_t) {
        if (done == 10)
            load.cancel();
    };
    const DownloadResult result = load.run(board);
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_EQ(result.message, "Envoi annulé. Appuyez sur RESET avant de recommencer.");
    EXPECT_EQ(result.verified, 10u);
    EXPECT_LE(board.written.size(), 1 + 10 + timingFor(1200, Family::A).window);
    EXPECT_FALSE(board.isOpen);
}

TEST(Download, CancelledBeforeTheStartOpensNothing) {
    ScriptedBoard board;
    BootstrapDownload load(program(10), {kPort, 1200, Family::E, false});
    load.cancel();
    EXPECT_EQ(load.run(board).outcome, Outcome::Cancelled);
    EXPECT_EQ(board.opens, 0u);
}

// --- the .BOO file ---

TEST(BootImage, ProgramIsWhatFollowsTheLeadingFf) {
    const std::string contents("\xFF\x86\x42\x00\x01", 5);
    EXPECT_EQ(parseBootImage(contents, "p.BOO"), (std::vector<std::uint8_t>{0x86, 0x42, 0x00, 0x01}));

    const std::pair<std::string, const char*> bad[] = {
        {"", kReasonNotBoo},
        {"S1130000", kReasonNotBoo},
        {"\xFF", kReasonEmptyBoo},
    };
    for (const auto& [text, reason] : bad) {
        try {
            parseBootImage(text, "p.BOO");
            ADD_FAILURE() << "accepté : " << text;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.operation(), kOpReadBoo);
            EXPECT_EQ(failure.path(), "p.BOO");
            EXPECT_STREQ(failure.reason().c_str(), reason);
        }
    }
}

TEST(BootImage, TextsAreFilledInOrderAndCountsAgree) {
    EXPECT_EQ(fillText("%2 puis %1, %3 et 100%", {"a", "b"}), "b puis a, %3 et 100%");
    EXPECT_EQ(byteCount(0), "0 octet");
    EXPECT_EQ(byteCount(1), "1 octet");
    EXPECT_EQ(byteCount(2), "2 octets");
}

} // namespace
} // namespace kavrel::board::test
