// The lab board around a session: the TP board's LCD written by a program,
// the memory the board lists and what it leaves empty, ROMs from files, and
// the lines --show prints.
#include "lab/lab_board.h"

#include "lab/board_file.h"
#include "lab/shipped_boards.h"
#include "sim_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

using lab::LabBoard;
using sim11::Session;

std::vector<sim11::Segment> assemble(const std::string& source) {
    const asmhc11::Result result = asmhc11::assembleSource(source, asmhc11::Mode::S19);
    EXPECT_TRUE(result.ok());
    std::vector<sim11::Segment> segments;
    for (const asmhc11::Segment& s : result.segments())
        segments.push_back({s.address, s.bytes});
    return segments;
}

std::unique_ptr<LabBoard> board(const std::string& key) {
    std::string error;
    const std::optional<lab::BoardDescription> description = lab::shippedBoard(key, error);
    EXPECT_TRUE(description) << error;
    std::unique_ptr<LabBoard> made = LabBoard::create(*description, error);
    EXPECT_TRUE(made) << error;
    return made;
}

// Writes "BONJOUR" on the TP board's LCD, polling its busy flag.
const char* greeting = R"( ORG $2000
START LDS #$01FF
 LDX #$B5F0
 LDAA #$38
 BSR CMD
 LDAA #$0C
 BSR CMD
 LDAA #$01
 BSR CMD
 LDY #TXT
NEXT LDAA 0,Y
 BEQ DONE
W BRSET 0,X,#$80,W
 STAA 1,X
 INY
 BRA NEXT
DONE STOP
CMD BRSET 0,X,#$80,CMD
 STAA 0,X
 RTS
TXT FCC 'BONJOUR'
 FCB 0
 ORG $FFFE
 FDB START
)";

TEST(LabBoard, TheTpBoardShowsWhatAProgramWritesOnItsLcd) {
    const auto tp = board("tp");
    const sim11::Setup setup = tp->setup({sim11::Chip::A1, sim11::Mode::SingleChip});
    EXPECT_EQ(setup, (sim11::Setup{sim11::Chip::E9, sim11::Mode::Expanded, sim11::Board::Chip}));
    EXPECT_DOUBLE_EQ(tp->eClock(), 2e6);
    Session session(setup);
    tp->attach(session.machine());
    std::string error;
    ASSERT_TRUE(session.load(assemble(greeting), error)) << error;
    session.reset();
    EXPECT_EQ(session.run(2'000'000), sim11::RunEnd::Stop);

    const lab::BoardView view = tp->view();
    EXPECT_EQ(view.name, "Carte de TP : LCD 2×16 et clavier 4×4");
    ASSERT_EQ(view.lcds.size(), 1u);
    EXPECT_EQ(view.lcds[0].text().substr(0, 16), "BONJOUR         ");
    EXPECT_EQ(tp->changes(),
              std::vector<std::string>{"LCD : « BONJOUR          » «                  »"});
    EXPECT_TRUE(tp->changes().empty()) << "nothing changed since";
    tp->detach();
}

TEST(LabBoard, WhereTheBoardHasNoMemoryNothingAnswersOrLoads) {
    const auto tp = board("tp");
    Session session(tp->setup({}));
    tp->attach(session.machine());
    std::string error;
    // $8000 is on the bus but the TP board has nothing there.
    EXPECT_FALSE(session.load(assemble(" ORG $8000\n FCB 1\n"), error));
    EXPECT_NE(error.find("l'adresse $8000 n'est pas dans la mémoire"), std::string::npos) << error;
    EXPECT_TRUE(session.load(assemble(" ORG $7FFF\n FCB 1\n"), error)) << error;
    EXPECT_EQ(session.peek(0x7FFF), 1);
    EXPECT_EQ(session.peek(0x8000), 0xFF);
    EXPECT_TRUE(session.poke(0x3000, 0x42));
    EXPECT_EQ(session.peek(0x3000), 0x42);
    // The chip's own memories answer as before: RAM, registers, EEPROM.
    EXPECT_TRUE(session.load(assemble(" ORG $0100\n FCB 7\n ORG $B600\n FCB 9\n"), error)) << error;
    EXPECT_EQ(session.peek(0x0100), 7);
    EXPECT_EQ(session.peek(0xB600), 9);

    // Taken off the machine, the bus is all RAM again.
    tp->detach();
    EXPECT_TRUE(session.load(assemble(" ORG $8000\n FCB 1\n"), error)) << error;
}

TEST(LabBoard, ARomHoldsItsFileIgnoresWritesAndTakesAProgram) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("lab_rom_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const asmhc11::Result monitor =
        asmhc11::assembleSource(" ORG $E000\n FCB $12,$34\n", asmhc11::Mode::S19);
    std::ofstream(dir / "moniteur.s19") << monitor.s19;
    std::ofstream(dir / "carte.toml")
        << "nom = \"ROM\"\ncircuit = \"E1\"\nmode = \"etendu\"\n"
           "[[memoire]]\ntype = \"rom\"\ndebut = \"$E000\"\nfin = \"$FFFF\"\nfichier = "
           "\"moniteur.s19\"\n";
    std::string error;
    const std::optional<lab::BoardDescription> description =
        lab::readBoardFile((dir / "carte.toml").string(), error);
    ASSERT_TRUE(description) << error;
    const auto rom = LabBoard::create(*description, error);
    ASSERT_TRUE(rom) << error;
    Session session(rom->setup({}));
    rom->attach(session.machine());
    EXPECT_EQ(session.peek(0xE000), 0x12);
    EXPECT_EQ(session.peek(0xE001), 0x34);
    EXPECT_EQ(session.peek(0xE002), 0xFF);
    session.machine().write(0xE000, 0x00);
    EXPECT_EQ(session.peek(0xE000), 0x12) << "a ROM ignores the CPU's writes";
    EXPECT_TRUE(session.load(assemble(" ORG $FFFE\n FDB $E000\n"), error)) << error;
    EXPECT_EQ(session.peek(0xFFFE), 0xE0);
    EXPECT_FALSE(session.load(assemble(" ORG $2000\n FCB 1\n"), error));
    rom->detach();

    // A monitor that does not fit its ROM, or is not there, is told with the board's line.
    lab::BoardDescription small = *description;
    small.memory[0].from = 0xF000;
    EXPECT_FALSE(LabBoard::create(small, error));
    EXPECT_EQ(error, "ligne 4 : moniteur.s19 : l'adresse $E000 est hors de la ROM ($F000-$FFFF)");
    small.memory[0].file = "absent.s19";
    EXPECT_FALSE(LabBoard::create(small, error));
    EXPECT_EQ(error, "ligne 4 : absent.s19 : fichier de la ROM illisible");
    fs::remove_all(dir);
}

TEST(LabBoard, TheEvaluationBoardKeepsOc5ToXirqAndTheChosenChip) {
    const auto evb = board("evb");
    const sim11::Setup chosen{sim11::Chip::A1, sim11::Mode::Bootstrap};
    EXPECT_EQ(evb->setup(chosen),
              (sim11::Setup{sim11::Chip::A1, sim11::Mode::Bootstrap, sim11::Board::Evb}));
    EXPECT_EQ(board("chip")->setup(chosen).board, sim11::Board::Chip);
    EXPECT_TRUE(evb->showLines().empty());
    EXPECT_EQ(evb->recorder(), nullptr);
}

} // namespace
