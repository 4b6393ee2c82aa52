// "Déboguer sur la carte..." against the simulated chip in bootstrap mode
// behind an in-memory line: the talker loaded, the program after it, then the
// window driving the chip through the talker. And the EEPROM written from the
// memory pane, on the board and in the simulator.
#ifdef KAVREL_WITH_BOARD

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <atomic>
#include <chrono>
#include <thread>

#include "board/simulated_board.h"
#include "simulation/board_debug_dialog.h"
#include "simulation/memory_pane.h"
#include "simulation/simulation_commands.h"
#include "simulation/simulation_texts.h"
#include "simulation/snapshot.h"
#include "simulation_fixture.h"
#include "terminal/terminal_widget.h"

namespace kavrel::test {
namespace {

using simulation::RegistersPane;
using simulation::SimulationWindow;

// Below the E family's pseudo-vectors and the talker: a loop with a branch
// taken twice then not, and a call.
const std::vector<std::string> kBoardProgram = {
    "        ORG   $0010",
    "START   LDAA  #$12",   // 2
    "        LDAB  #$34",   // 3
    "        LDX   #$5678", // 4
    "LOOP    INCA",         // 5
    "        CMPA  #$14",   // 6
    "        BNE   SKIP",   // 7
    "        INCB",         // 8
    "SKIP    BSR   TWICE",  // 9
    "        BRA   LOOP",   // 10
    "TWICE   INCB",         // 11
    "        RTS",          // 12
    "        END   START",
};

// Sends K for ever, the SCI left to the talker for its stop.
const std::vector<std::string> kTalking = {
    "        ORG   $0010", "START   LDX   #$1000", "SEND    BRCLR $2E,X,$80,SEND",
    "        LDAA  #'K'",  "        STAA  $2F,X",  "        BRA   SEND",
    "        END   START",
};

// A port with nothing at the other end: time goes by, nothing comes.
class SilentLine : public board::Transport {
public:
    void open(const std::string&, unsigned) override {}
    void write(std::span<const std::uint8_t>) override {}
    std::size_t read(std::span<std::uint8_t>, board::Duration timeout) override {
        now_ += timeout;
        return 0;
    }
    void setBaud(unsigned) override {}
    void close() override {}
    board::Duration now() const override { return now_; }

private:
    board::Duration now_{};
};

// The same at a wire's pace: each wait takes its time.
class SlowSilentLine : public SilentLine {
public:
    std::size_t read(std::span<std::uint8_t> into, board::Duration timeout) override {
        std::this_thread::sleep_for(
            std::min<board::Duration>(timeout, std::chrono::milliseconds(5)));
        return SilentLine::read(into, timeout);
    }
};

QString q(const char* text) {
    return QString::fromUtf8(text);
}

class BoardDebug : public SimulationTest {
protected:
    // "Déboguer sur la carte..." on the active editor, connected to a new
    // simulated board: the window once it shows the board, or null.
    SimulationWindow* debugOnBoard() {
        trigger("DebugOnBoard");
        auto* dialog = simulation::boardDebugDialog(*principal);
        if (!dialog)
            return nullptr;
        dialog->setPortLister([] {
            return QList<board::PortEntry>{{QStringLiteral("carte"), {}, {}}};
        });
        dialog->setTransportFactory([this] {
            auto made = std::make_unique<board::test::SimulatedBoard>(sim11::Chip::E9);
            board_.store(made.get());
            return made;
        });
        dialog->findChild<QPushButton*>(QStringLiteral("connect"))->click();
        SimulationWindow* window = nullptr;
        waitFor(
            [&] {
                for (SimulationWindow* open : simulations())
                    if (open->drivesBoard() && open->snapshot())
                        window = open;
                return window != nullptr;
            },
            20000);
        return window;
    }
    sim11::Machine& chip() { return board_.load()->machine(); }
    static int line(SimulationWindow* window) { return window->sourcePane()->markedLine(); }
    static bool writeByte(SimulationWindow* window, quint16 address, const char* hex) {
        QAbstractItemModel* model = window->memoryPane()->memoryView()->model();
        return model->setData(model->index(address / 16, address % 16), QString::fromLatin1(hex));
    }

    std::atomic<board::test::SimulatedBoard*> board_{nullptr};
};

TEST_F(BoardDebug, ShowsTheBoardsRegistersAndStopsAtABreakpointOnASourceLine) {
    open(QStringLiteral("carte.asm"), kBoardProgram);
    SimulationWindow* window = debugOnBoard();
    ASSERT_NE(window, nullptr);

    // What the window drives, and what a board does not have.
    EXPECT_EQ(window->windowTitle(), q(simulation::texts::kBoardTitleStart) +
                                         docPath(QStringLiteral("carte.asm")) +
                                         QStringLiteral(" (carte)"));
    EXPECT_TRUE(window->targetText().startsWith(q("Cible : la carte (68HC11 de la famille E")))
        << window->targetText().toStdString();
    EXPECT_EQ(window->registersPane()->cyclesText(), q(simulation::texts::kNoCycleCount));
    // Every byte the board receives is the talker's: keys are not sent, and say why.
    EXPECT_FALSE(window->terminal()->inputEnabled());
    window->terminal()->sendText(QStringLiteral("A"));
    EXPECT_EQ(window->terminal()->statusText(), q(simulation::texts::kBoardTerminalReadOnly));
    EXPECT_EQ(line(window), 2);
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0010"));

    // The registers the talker keeps for the stopped program, as the chip
    // holds them: stacked as by an SWI, SP above them.
    const std::uint16_t sp = window->snapshot()->regs.sp;
    const auto stacked = [&](int offset) {
        return chip().peek(static_cast<std::uint16_t>(sp - 9 + offset));
    };
    EXPECT_EQ(window->snapshot()->regs.pc, stacked(8) << 8 | stacked(9));
    EXPECT_EQ(window->snapshot()->regs.a, stacked(3));
    // The program's bytes read back from the chip's RAM.
    for (std::uint16_t a = 0x0010; a < 0x0020; ++a)
        EXPECT_EQ(window->snapshot()->memory[a], chip().peek(a)) << a;

    // Rows scrolled into view are read from the board.
    chip().load(0x00A0, 0x77);
    window->memoryPane()->goToAddress(0x00A0);
    EXPECT_TRUE(waitFor([&] { return window->snapshot()->memory[0x00A0] == 0x77; }));
    // A byte read for the first time is not one the program changed; a
    // register whose read would clear a flag is never read, and shows no value.
    QAbstractItemModel* memory = window->memoryPane()->memoryView()->model();
    EXPECT_FALSE(memory->data(memory->index(0x00A0 / 16, 0), Qt::ForegroundRole).isValid());
    EXPECT_EQ(memory->data(memory->index(0x00A0 / 16, 0)).toString(), QStringLiteral("77"));
    window->memoryPane()->goToAddress(0x102F);
    EXPECT_TRUE(waitFor([&] {
        return memory->data(memory->index(0x102F / 16, 0xF)).toString() == QStringLiteral("--");
    }));

    window->debugModel()->toggleLine(0, 9);
    ASSERT_TRUE(stopped(window, [&] { window->run(); }));
    EXPECT_EQ(line(window), 9);
    EXPECT_EQ(reg(window, RegistersPane::A), QStringLiteral("13"));
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("34"));
    EXPECT_EQ(reg(window, RegistersPane::X), QStringLiteral("5678"));
    EXPECT_EQ(window->stateText(), q(simulation::texts::kStoppedAtBreakpoint));
    // No SWI left in the program once stopped.
    EXPECT_EQ(chip().peek(0x001D), 0x8D);

    // Again round the loop: the branch not taken this time, then B counted twice.
    ASSERT_TRUE(stopped(window, [&] { window->run(); }));
    EXPECT_EQ(line(window), 9);
    EXPECT_EQ(reg(window, RegistersPane::A), QStringLiteral("14"));
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("36"));
}

TEST_F(BoardDebug, StepsFollowTheBranchTakenOrNotAndStepOverRunsTheCall) {
    open(QStringLiteral("pas.asm"), kBoardProgram);
    SimulationWindow* window = debugOnBoard();
    ASSERT_NE(window, nullptr);
    const auto stepTo = [&](int expected) {
        EXPECT_TRUE(stopped(window, [&] { window->stepInto(); }));
        EXPECT_EQ(line(window), expected);
    };
    for (const int next : {3, 4, 5, 6, 7})
        stepTo(next);
    stepTo(9);  // A = $13: taken
    stepTo(11); // into the call
    stepTo(12);
    stepTo(10); // back after the BSR
    stepTo(5);
    stepTo(6);
    stepTo(7);
    stepTo(8); // A = $14: not taken
    stepTo(9);
    ASSERT_TRUE(stopped(window, [&] { window->stepOver(); }));
    EXPECT_EQ(line(window), 10);
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("37"));
    // Out of the routine from within it.
    stepTo(5);
    stepTo(6);
    stepTo(7);
    stepTo(9);
    stepTo(11);
    ASSERT_TRUE(stopped(window, [&] { window->stepOut(); }));
    EXPECT_EQ(line(window), 10);
    EXPECT_EQ(window->stateText(), q(simulation::texts::kStoppedReturned));

    // Back to the start: the program's RAM written again, PC at its entry.
    ASSERT_TRUE(stopped(window, [&] { window->resetMachine(); }));
    EXPECT_EQ(line(window), 2);
    EXPECT_TRUE(window->stateText().startsWith(q(simulation::texts::kBoardReset)));
}

TEST_F(BoardDebug, AMemoryPaneWriteIntoTheEepromIsProgrammedOnTheChipAndReadsBack) {
    open(QStringLiteral("eeprom.asm"), kBoardProgram);
    SimulationWindow* window = debugOnBoard();
    ASSERT_NE(window, nullptr);
    window->memoryPane()->goToAddress(0xB600);
    ASSERT_TRUE(writeByte(window, 0xB600, "5A"));
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->memory[0xB600] == 0x5A; }, 10000));
    EXPECT_EQ(chip().peek(0xB600), 0x5A);
    // A bit back to 1 needs the erase first.
    ASSERT_TRUE(writeByte(window, 0xB600, "A5"));
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->memory[0xB600] == 0xA5; }, 10000));
    EXPECT_EQ(chip().peek(0xB600), 0xA5);
    // RAM is written plainly; the boot ROM refuses, and says so.
    ASSERT_TRUE(writeByte(window, 0x0080, "C3"));
    ASSERT_TRUE(waitFor([&] { return chip().peek(0x0080) == 0xC3; }, 10000));
    ASSERT_TRUE(writeByte(window, 0xBF40, "00"));
    EXPECT_TRUE(waitFor(
        [&] { return window->memoryPane()->statusText().contains(QLatin1String("ROM")); }, 10000))
        << window->memoryPane()->statusText().toStdString();
}

TEST_F(BoardDebug, RunsShowingWhatTheProgramSendsStopsOnRequestAndRefusesABreakpointInRom) {
    open(QStringLiteral("parle.asm"), kTalking);
    SimulationWindow* window = debugOnBoard();
    ASSERT_NE(window, nullptr);
    window->run();
    ASSERT_TRUE(waitFor([&] { return window->isRunning(); }));
    ASSERT_TRUE(
        waitFor([&] { return window->terminal()->text().contains(QLatin1String("KKKK")); }, 10000))
        << window->terminal()->text().toStdString();
    ASSERT_TRUE(stopped(window, [&] { window->stop(); }));
    EXPECT_EQ(window->stateText(), q(simulation::texts::kStoppedByUser));
    const std::uint16_t pc = window->snapshot()->regs.pc;
    EXPECT_TRUE(pc >= 0x0013 && pc <= 0x001E) << pc;

    // The boot ROM cannot take an SWI: said, and the program stays stopped.
    window->debugModel()->toggleAddress(0xBF40);
    ASSERT_TRUE(stopped(window, [&] { window->run(); }));
    EXPECT_TRUE(window->stateText().contains(QLatin1String("ROM")))
        << window->stateText().toStdString();
    EXPECT_EQ(window->snapshot()->regs.pc, pc);
}

TEST_F(BoardDebug, AProgramThatMasksInterruptsCannotBeStoppedAndTheWindowSaysSo) {
    open(QStringLiteral("sourd.asm"),
         {"        ORG   $0010", "START   SEI", "LOOP    BRA   LOOP", "        END   START"});
    SimulationWindow* window = debugOnBoard();
    ASSERT_NE(window, nullptr);
    window->run();
    ASSERT_TRUE(waitFor([&] { return window->isRunning(); }));
    window->stop();
    ASSERT_TRUE(waitFor([&] { return window->stateText().startsWith(q("Arrêt impossible")); },
                        10000))
        << window->stateText().toStdString();
    EXPECT_TRUE(window->isRunning());
}

TEST_F(BoardDebug, ALoadThatCannotBeDoneIsToldInTheDialogAndOpensNoWindow) {
    // In the E family's talker: refused before the port is even opened.
    open(QStringLiteral("dessus.asm"), {"        ORG   $0120", "        NOP", "        END"});
    trigger("DebugOnBoard");
    auto* dialog = simulation::boardDebugDialog(*principal);
    ASSERT_NE(dialog, nullptr);
    int made = 0;
    dialog->setTransportFactory([&made] {
        ++made;
        return std::make_unique<SilentLine>();
    });
    dialog->setChoices({QStringLiteral("carte"), board::Family::E, QStringLiteral("8"),
                        QStringLiteral("1200"), false});
    auto* connect = dialog->findChild<QPushButton*>(QStringLiteral("connect"));
    connect->click();
    ASSERT_TRUE(waitFor([&] { return !dialog->connecting(); }));
    EXPECT_TRUE(dialog->statusText().startsWith(q("Le programme occupe l'adresse $0120")))
        << dialog->statusText().toStdString();
    EXPECT_EQ(made, 0);

    // A crystal that is not one.
    dialog->setChoices({QStringLiteral("carte"), board::Family::E, QStringLiteral("huit"),
                        QStringLiteral("1200"), false});
    connect->click();
    EXPECT_EQ(dialog->statusText(), q(simulation::texts::kBoardBadCrystal));

    // Nobody at the other end: told, the dialog ready for another try.
    open(QStringLiteral("muet.asm"), kBoardProgram);
    trigger("DebugOnBoard");
    dialog = simulation::boardDebugDialog(*principal);
    ASSERT_NE(dialog, nullptr);
    dialog->setTransportFactory([] { return std::make_unique<SilentLine>(); });
    dialog->setChoices({QStringLiteral("carte"), board::Family::E, QStringLiteral("8"),
                        QStringLiteral("1200"), false});
    dialog->findChild<QPushButton*>(QStringLiteral("connect"))->click();
    ASSERT_TRUE(waitFor([&] { return !dialog->connecting(); }, 20000));
    EXPECT_FALSE(dialog->statusText().isEmpty());
    EXPECT_NE(dialog->statusText(), q(simulation::texts::kBoardLoaded));
    EXPECT_TRUE(dialog->findChild<QPushButton*>(QStringLiteral("connect"))->isEnabled());
    EXPECT_TRUE(simulations().isEmpty());

    // "Annuler" while the talker is on its way.
    dialog->setTransportFactory([] { return std::make_unique<SlowSilentLine>(); });
    dialog->findChild<QPushButton*>(QStringLiteral("connect"))->click();
    ASSERT_TRUE(dialog->connecting());
    dialog->reject();
    EXPECT_EQ(dialog->statusText(), q(simulation::texts::kBoardCancelling));
    ASSERT_TRUE(waitFor([&] { return !dialog->connecting(); }, 30000));
    EXPECT_EQ(dialog->statusText(), q(simulation::texts::kBoardCancelled));
    EXPECT_TRUE(simulations().isEmpty());
}

TEST_F(BoardDebug, TheSimulatorProgramsTheEepromWithTheChipsSequence) {
    open(QStringLiteral("sim.asm"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->targetText(), q(simulation::texts::kTargetSimulator));
    EXPECT_FALSE(window->drivesBoard());
    const sim11::Registers before = window->snapshot()->regs;
    const std::uint64_t cycles = window->snapshot()->cycles;
    // Just after the reset BPROT can still be cleared.
    ASSERT_TRUE(writeByte(window, 0xB600, "5A"));
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->memory[0xB600] == 0x5A; }));
    // The programming time went by on the chip, the program untouched.
    EXPECT_GE(window->snapshot()->cycles, cycles + 20000);
    EXPECT_EQ(window->snapshot()->regs.pc, before.pc);
    EXPECT_EQ(window->snapshot()->regs.ccr, before.ccr);
    EXPECT_EQ(window->snapshot()->memory[0x0000], 0x00);

    // Through the window's own call, with its answer.
    QSignalSpy done(window, &SimulationWindow::chipProgrammed);
    window->programEeprom(0xB601, QByteArray::fromHex("0102FF"));
    ASSERT_TRUE(done.wait(5000));
    EXPECT_TRUE(done.at(0).at(0).toBool()) << done.at(0).at(1).toString().toStdString();
    EXPECT_EQ(window->snapshot()->memory[0xB601], 0x01);
    EXPECT_EQ(window->snapshot()->memory[0xB603], 0xFF);

    // BPROT set again by a reset: once the program has run 64 cycles, the
    // single-chip part keeps it.
    ASSERT_TRUE(stopped(window, [&] { window->resetMachine(); }));
    ASSERT_TRUE(stopped(window, [&] { window->stepInto(); }));
    ASSERT_TRUE(stopped(window, [&] { window->stepOver(); }));
    for (int k = 0; k < 40; ++k)
        ASSERT_TRUE(stopped(window, [&] { window->stepInto(); }));
    ASSERT_TRUE(writeByte(window, 0xB600, "00"));
    ASSERT_TRUE(waitFor([&] {
        return window->memoryPane()->statusText().contains(QLatin1String("BPROT"));
    })) << window->memoryPane()->statusText().toStdString();
    EXPECT_EQ(window->snapshot()->memory[0xB600], 0x5A);

    QSignalSpy config(window, &SimulationWindow::configRead);
    window->readConfig();
    ASSERT_TRUE(config.wait(5000));
    EXPECT_TRUE(config.at(0).at(0).toBool());
    EXPECT_EQ(config.at(0).at(1).toUInt(), config.at(0).at(2).toUInt());
}

TEST_F(BoardDebug, ABitOfConfigBackToOneOnAnAPartKeepsTheEepromsBytes) {
    open(QStringLiteral("config.asm"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(stopped(window, [&] {
        window->setMachine({sim11::Chip::A1, sim11::Mode::SingleChip, simulation::Board::Chip});
    }));
    ASSERT_TRUE(writeByte(window, 0xB7FF, "5A"));
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->memory[0xB7FF] == 0x5A; }));

    QSignalSpy read(window, &SimulationWindow::configRead);
    QSignalSpy done(window, &SimulationWindow::chipProgrammed);
    window->readConfig();
    ASSERT_TRUE(read.wait(5000));
    const auto erased = static_cast<std::uint8_t>(read.at(0).at(2).toUInt());
    const auto copOn = static_cast<std::uint8_t>(erased & ~0x04);
    window->programConfig(copOn);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_TRUE(done.at(0).at(0).toBool()) << done.at(0).at(1).toString().toStdString();
    window->programConfig(erased);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_TRUE(done.at(1).at(0).toBool()) << done.at(1).at(1).toString().toStdString();
    EXPECT_TRUE(done.at(1).at(1).toString().contains(QLatin1String("reprogramm")));
    window->readConfig();
    ASSERT_TRUE(read.wait(5000));
    EXPECT_EQ(read.at(1).at(2).toUInt(), erased);
    // In force until the next reset: the COP stayed off meanwhile.
    EXPECT_EQ(read.at(1).at(1).toUInt(), erased);
    EXPECT_EQ(window->snapshot()->memory[0xB7FF], 0x5A);
}

} // namespace
} // namespace kavrel::test

#endif
