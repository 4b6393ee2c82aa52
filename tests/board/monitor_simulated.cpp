// The load through the monitor: the S19 file as the monitor takes it, then
// BUFFALO itself (from the test data, skipped where absent) in the ROM of the
// evaluation board's E9 behind the in-memory line.
#include "board/monitor_load.h"
#include "monitor_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kavrel::board::test {
namespace {

using testing::HasSubstr;

// --- the file --------------------------------------------------------------

TEST(S19Program, KeepsTheDataRecordsAndFindsTheStart) {
    struct Case {
        const char* text;
        std::size_t records, bytes;
        std::uint16_t entry;
        const char* end;
    } cases[] = {
        // S0 and S5 left out; the S9's address starts it.
        {"S00600004844521B\r\nS1070100864120FC14\r\nS5030001FB\r\nS9030100FB\r\n", 1, 4, 0x0100,
         "S9030100FB"},
        // No start given ($0000, nothing loaded there): the first record's address.
        {"S1070100864120FC14\nS9030000FC\n", 1, 4, 0x0100, "S9030000FC"},
        // A program at $0000 started there; lower case and no S9 at all.
        {"s1050000013fba\n", 1, 2, 0x0000, "S9030000FC"},
        // A DOS end-of-file mark ends the file.
        {"S1070100864120FC14\r\nS9030100FB\r\n\x1A garbage", 1, 4, 0x0100, "S9030100FB"},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<S19Program> program = parseS19Program(c.text, error);
        ASSERT_TRUE(program) << c.text << " : " << error;
        EXPECT_EQ(program->records.size(), c.records) << c.text;
        EXPECT_EQ(program->bytes, c.bytes) << c.text;
        EXPECT_EQ(program->entry, c.entry) << c.text;
        EXPECT_EQ(program->end, c.end) << c.text;
    }
}

TEST(S19Program, RefusesWhatTheMonitorCannotTakeNamingTheLine) {
    struct Case {
        const char* text;
        const char* says;
    } cases[] = {
        {"S1070100864120FC14\nS1070100864120FC15\n",
         "Ligne 2 du fichier S19 : la somme de contrôle"},
        {"S1070100864120FC1\n", "Ligne 1 du fichier S19 : le nombre d'octets"},
        {"S1080100864120FC14\n", "le nombre d'octets annoncé"},
        {"S10701008641G0FC14\n", "pas un chiffre hexadécimal"},
        {"\n\n:10010000\n", "Ligne 3 du fichier S19 : ce n'est pas un enregistrement S"},
        {"S20700010086412010\n", "enregistrement S2 : les adresses du 68HC11 tiennent sur 16 bits"},
        {"S107FFFE864120FC18\n", "dépassent l'adresse $FFFF"},
        {"S00600004844521B\nS9030000FC\n", "aucun octet de programme"},
        {"", "aucun octet de programme"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parseS19Program(c.text, error)) << c.text;
        EXPECT_THAT(error, HasSubstr(c.says)) << c.text;
    }
}

TEST(MonitorTiming, EepromBytesFollowTheCrystal) {
    // Erase then program, 20,000 E cycles each: 20 ms at E = 2 MHz.
    EXPECT_EQ(monitorTimingFor(9600, 8'000'000).eepromByte, std::chrono::milliseconds(20));
    EXPECT_EQ(monitorTimingFor(9600, 4'000'000).eepromByte, std::chrono::milliseconds(40));
    EXPECT_EQ(monitorTimingFor(9600, 8'000'000).endPause, std::chrono::seconds(1));
    EXPECT_EQ(monitorTimingFor(9600, 8'000'000).character.count(), 1'041'666);
}

TEST(MonitorLoad, RefusesRecordsForRomOrNowhereBeforeOpeningThePort) {
    struct Case {
        std::uint16_t org;
        std::vector<MemoryRegion> extra;
        MonitorOutcome outcome;
        const char* says;
    } cases[] = {
        {0xE000, {}, MonitorOutcome::RomRefused, "écrit en $E000, dans la ROM du circuit"},
        {0x4000,
         {{MemoryRegion::Kind::Nothing, 0x2000, 0x7FFF}},
         MonitorOutcome::NoMemory,
         "écrit en $4000, où la carte"},
        // The monitor's own variables: the load would pull the rug from under it.
        {0x0080,
         {},
         MonitorOutcome::Refused,
         "écrit en $0080, dans la RAM que le moniteur garde "
         "pour lui ($002D-$00FF) : le chargement l'écraserait "
         "sous ses pieds. Placez le programme à partir de $0100"},
    };
    for (const Case& c : cases) {
        MonitorSettings settings;
        settings.port = "/dev/ttyUSB0";
        // Listed first, they come before the chip's own.
        settings.board.memory.insert(settings.board.memory.begin(), c.extra.begin(), c.extra.end());
        MonitorLoad load(s19Of(greeter(c.org)), settings);
        UntouchedPort line;
        const MonitorResult result = load.run(line);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_THAT(result.message, HasSubstr(c.says));
        EXPECT_THAT(result.message, HasSubstr("Rien n'a été envoyé"));
        EXPECT_EQ(line.opens, 0u);
    }
}

// --- BUFFALO on the evaluation board ---------------------------------------

TEST_F(BuffaloBoard, LoadsIntoRamThenGStartsTheProgram) {
    const S19Program program = s19Of(greeter(0x0100));
    MonitorSettings settings = settingsFor(9600);
    settings.keepOpen = true;
    MonitorLoad load(program, settings);
    std::vector<std::size_t> progress;
    load.onProgress = [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, program.records.size());
        progress.push_back(done);
    };
    const MonitorResult result = load.run(*board_);
    ASSERT_TRUE(result.ok()) << result.message << " / " << result.answer;
    EXPECT_EQ(result.answer, "done");
    EXPECT_THAT(result.message, HasSubstr("« done »"));
    EXPECT_EQ(progress.front(), 0u);
    EXPECT_EQ(progress.back(), program.records.size());
    expectInMemory(program);

    const std::atomic<bool> never{false};
    const StartResult started = startProgram(*board_, program.entry, "sim", 9600, never);
    ASSERT_TRUE(started.ok) << started.message;
    EXPECT_THAT(started.programOutput + listen(*board_, std::chrono::milliseconds(50)),
                HasSubstr("BONJOUR"));
}

TEST_F(BuffaloBoard, ProgramsTheEepromErasedOrNotAndRunsFromIt) {
    // Cells already programmed: the monitor erases each before programming it.
    for (std::uint16_t a = 0xB600; a < 0xB640; ++a)
        board_->machine().load(a, static_cast<std::uint8_t>(a));
    const S19Program program = s19Of(greeter(0xB600));
    MonitorSettings settings = settingsFor(9600);
    settings.keepOpen = true;
    MonitorLoad load(program, settings);
    const MonitorResult result = load.run(*board_);
    ASSERT_TRUE(result.ok()) << result.message << " / " << result.answer;
    EXPECT_THAT(result.message, HasSubstr("en EEPROM"));
    expectInMemory(program);
    const std::atomic<bool> never{false};
    const StartResult started = startProgram(*board_, program.entry, "sim", 9600, never);
    ASSERT_TRUE(started.ok) << started.message;
    EXPECT_THAT(started.programOutput + listen(*board_, std::chrono::milliseconds(50)),
                HasSubstr("BONJOUR"));
}

TEST_F(BuffaloBoard, AGThatTheMonitorDoesNotRepeatIsNoStart) {
    // At another speed the monitor hears noise and repeats nothing.
    board_->open("sim", 1200);
    const std::atomic<bool> never{false};
    const StartResult started = startProgram(*board_, 0x0100, "sim", 1200, never);
    EXPECT_FALSE(started.ok);
    EXPECT_EQ(started.message,
              "Le moniteur n'a pas repris la commande « G 0100 » : le programme n'est sans doute "
              "pas lancé.");
}

TEST_F(BuffaloBoard, NoPromptAtAnotherSpeed) {
    MonitorLoad load(s19Of(greeter(0x0100)), settingsFor(1200));
    const MonitorResult result = load.run(*board_);
    EXPECT_EQ(result.outcome, MonitorOutcome::NoPrompt);
    EXPECT_THAT(result.message, HasSubstr("à 1200 bauds (pas d'invite « > »)"));
    EXPECT_FALSE(board_->isOpen());
}

TEST_F(BuffaloBoard, AnUnknownCommandIsTheMonitorsRefusal) {
    MonitorSettings settings = settingsFor(9600);
    settings.command = "CHARGE";
    MonitorLoad load(s19Of(greeter(0x0100)), settings);
    const MonitorResult result = load.run(*board_);
    EXPECT_EQ(result.outcome, MonitorOutcome::CommandRefused);
    EXPECT_THAT(result.message, HasSubstr("Le moniteur a refusé la commande « CHARGE »"));
}

TEST_F(BuffaloBoard, ARecordDamagedOnTheLineIsTheMonitorsChecksumError) {
    MonitorLine line(*board_);
    // The third record's first data digit.
    line.corruptRecord = 3;
    MonitorLoad load(s19Of(greeter(0x0100, 200)), settingsFor(9600));
    const MonitorResult result = load.run(line);
    EXPECT_EQ(result.outcome, MonitorOutcome::ChecksumRefused) << result.answer;
    EXPECT_THAT(result.message, HasSubstr("somme de contrôle fausse"));
}

TEST_F(BuffaloBoard, WhereTheBoardKnowsNoMemoryTheMonitorNamesTheAddress) {
    // Nothing listed: the records go, and the monitor finds its own ROM at
    // $E000 (whose first byte happens to be the program's: $E001 is refused).
    MonitorSettings settings = settingsFor(9600);
    settings.board.memory.clear();
    MonitorLoad load(s19Of(greeter(0xE000)), settings);
    const MonitorResult result = load.run(*board_);
    EXPECT_EQ(result.outcome, MonitorOutcome::NoMemory) << result.answer;
    ASSERT_TRUE(result.address);
    EXPECT_EQ(*result.address, 0xE001);
    EXPECT_THAT(result.message, HasSubstr("n'a pas pu écrire en $E001"));
    // The monitor is back at its prompt: the next load goes through.
    MonitorLoad again(s19Of(greeter(0x0100)), settingsFor(9600));
    EXPECT_TRUE(again.run(*board_).ok());
}

TEST_F(BuffaloBoard, ARecordForTheChipsRomIsRefusedBeforeAnythingGoes) {
    const MonitorResult known = MonitorLoad(s19Of(greeter(0xD000)), settingsFor(9600)).run(*board_);
    EXPECT_EQ(known.outcome, MonitorOutcome::RomRefused);
    EXPECT_THAT(known.message, HasSubstr("Rien n'a été envoyé"));
    EXPECT_FALSE(board_->isOpen());
}

TEST_F(BuffaloBoard, SilenceAfterTheLastRecordIsNoSuccess) {
    MonitorLine line(*board_);
    line.deafAfterRecords = 1;
    MonitorLoad load(s19Of(greeter(0x0100)), settingsFor(9600));
    const MonitorResult result = load.run(line);
    EXPECT_EQ(result.outcome, MonitorOutcome::NoEnd);
    EXPECT_THAT(result.message, HasSubstr("n'a rien répondu après le dernier enregistrement"));
}

TEST_F(BuffaloBoard, APortThatVanishesIsSaidSo) {
    MonitorLine line(*board_);
    line.vanishAfterRecords = 2;
    MonitorLoad load(s19Of(greeter(0x0100, 200)), settingsFor(9600));
    std::size_t last = 0;
    load.onProgress = [&](std::size_t done, std::size_t) { last = done; };
    const MonitorResult result = load.run(line);
    EXPECT_EQ(result.outcome, MonitorOutcome::Vanished);
    EXPECT_THAT(result.message, HasSubstr("a disparu"));
    EXPECT_EQ(result.sent, last);
    EXPECT_FALSE(board_->isOpen());
}

TEST_F(BuffaloBoard, CancelledMidwayLeavesTheMonitorAtItsPrompt) {
    MonitorLoad load(s19Of(greeter(0x0100, 200)), settingsFor(9600));
    load.onProgress = [&](std::size_t done, std::size_t) {
        if (done == 2)
            load.cancel();
    };
    const MonitorResult result = load.run(*board_);
    EXPECT_EQ(result.outcome, MonitorOutcome::Cancelled);
    EXPECT_THAT(result.message, HasSubstr("après 2 enregistrements"));
    EXPECT_THAT(result.message, HasSubstr("ne le lancez pas"));
    MonitorLoad again(s19Of(greeter(0x0100)), settingsFor(9600));
    const MonitorResult next = again.run(*board_);
    EXPECT_TRUE(next.ok()) << next.message;
}

TEST_F(BuffaloBoard, AbandonedMidwayTheLoadEndsWithoutWaitingForTheMonitor) {
    MonitorLoad load(s19Of(greeter(0x0100, 200)), settingsFor(9600));
    Duration abandonedAt{};
    load.onProgress = [&](std::size_t done, std::size_t) {
        if (done == 2) {
            abandonedAt = board_->now();
            load.abandon();
        }
    };
    const MonitorResult result = load.run(*board_);
    EXPECT_EQ(result.outcome, MonitorOutcome::Cancelled);
    // The records in hand and the S9 go; the monitor's second of pause is not waited for.
    EXPECT_LT(board_->now() - abandonedAt, std::chrono::milliseconds(300));
}

} // namespace
} // namespace kavrel::board::test
