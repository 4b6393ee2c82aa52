// The example programs Kavrel ships (data/examples), each on its board:
// assembled as the user gets them, run by sim11 as a process where what it
// prints tells the result (the LCD, the displays, the serial line), driven
// through the lab board where a key, a pot or a pin's timing is needed.
#include "lab/lab_board.h"

#include "lab/recorder.h"
#include "lab/shipped_boards.h"
#include "sim11_run.h"
#include "sim_support.h"

namespace {

namespace fs = std::filesystem;
using lab::LabBoard;
using sim11::Session;

using lab::test::Outcome;
using lab::test::readAll;

// The example's source as shipped (Windows-1252, CR LF), assembled.
asmhc11::Result assembleExample(const std::string& name) {
    const fs::path path = fs::path(KAVREL_SOURCE_DIR) / "data" / "examples" / name;
    const std::string source = readAll(path);
    EXPECT_FALSE(source.empty()) << path;
    asmhc11::Result result = asmhc11::assembleSource(source, asmhc11::Mode::S19);
    for (const asmhc11::Diagnostic& d : result.errors)
        ADD_FAILURE() << name << " ligne " << d.line << " : " << asmhc11::cp1252ToUtf8(d.message);
    return result;
}

// sim11 on the example's S19.
class Examples : public lab::test::Sim11Run {
protected:
    Outcome sim(const std::string& example, const std::string& arguments,
                const std::string& input = "") {
        const std::string program = file("p.s19", assembleExample(example).s19);
        return Sim11Run::sim(arguments + " " + program, input);
    }
};

// A shipped board around a session holding the example, reset on its vector.
struct OnBoard {
    std::unique_ptr<LabBoard> board;
    std::unique_ptr<Session> session;

    OnBoard(const std::string& key, const std::string& example) {
        std::string error;
        const std::optional<lab::BoardDescription> description = lab::shippedBoard(key, error);
        EXPECT_TRUE(description) << error;
        board = LabBoard::create(*description, error);
        EXPECT_TRUE(board) << error;
        session = std::make_unique<Session>(board->setup({}));
        board->attach(session->machine());
        std::vector<sim11::Segment> segments;
        for (const asmhc11::Segment& s : assembleExample(example).segments())
            segments.push_back({s.address, s.bytes});
        EXPECT_TRUE(session->load(segments, error)) << error;
        session->reset();
    }
    ~OnBoard() { board->detach(); }
    // Runs for `seconds` of the chip's time (E at 2 MHz).
    void run(double seconds) { session->run(static_cast<std::uint64_t>(seconds * 2e6)); }
    std::string lcdRow(int row) const {
        const lab::LcdView lcd = board->view().lcds.at(0);
        return std::string(lcd.cells.begin() + row * lcd.columns,
                           lcd.cells.begin() + (row + 1) * lcd.columns);
    }
};

TEST_F(Examples, BonjourWritesOnTheTpBoardsLcd) {
    const Outcome run = sim("bonjour.asm", "--board tp --show --cycles 200000");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("LCD : « BONJOUR          » «                  »\n"), std::string::npos)
        << run.err;
}

TEST_F(Examples, EchoSendsBackEachByteItHears) {
    const Outcome run = sim("echo.asm", "--board chip --cycles 2000000", "Salut 68HC11 !\r");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Salut 68HC11 !\r");
}

TEST_F(Examples, EepromKeepsTheMessageAndSendsItBack) {
    const std::string message = "Lu dans l'EEPROM : BONJOUR\r\n";
    const Outcome run = sim("eeprom.asm", "--board chip --cycles 1500000");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, message);

    // The bytes are in the EEPROM cells, its final zero too.
    OnBoard chip("chip", "eeprom.asm");
    EXPECT_NE(chip.session->peek(0xB600), 'L') << "nothing before the program runs";
    chip.run(0.7);
    for (std::size_t k = 0; k <= message.size(); ++k)
        EXPECT_EQ(chip.session->peek(static_cast<std::uint16_t>(0xB600 + k)),
                  k < message.size() ? static_cast<std::uint8_t>(message[k]) : 0)
            << "$" << sim11::test::hex(0xB600 + static_cast<unsigned>(k), 4);
}

TEST_F(Examples, CompteurCountsTenthsOfASecondOnTheDisplays) {
    // 1.05 s: the counter has reached 0010, one step each 100 ms.
    const Outcome run = sim("compteur.asm", "--board monopuce --show --cycles 2100000");
    EXPECT_EQ(run.status, 0) << run.err;
    std::size_t at = 0;
    for (int n = 0; n <= 10; ++n) {
        const std::string digits = n < 10 ? "000" + std::to_string(n) : "0010";
        at = run.err.find("Afficheurs : « " + digits + " »", at);
        ASSERT_NE(at, std::string::npos) << digits << "\n" << run.err;
    }
    EXPECT_EQ(run.err.find("« 0011 »"), std::string::npos) << run.err;
    // Only settled digits are told: none caught half-way through a change.
    EXPECT_EQ(run.err.find('?'), std::string::npos) << run.err;
}

TEST(ExamplesOnBoard, ClignotantTogglesTheGreenLedEveryHalfSecond) {
    OnBoard monopuce("monopuce", "clignotant.asm");
    std::vector<std::uint64_t> edges;
    bool level = false;
    const auto watch = monopuce.session->machine().connectPins(
        [&](sim11::Port port, std::uint8_t levels, std::uint64_t cycle) {
            const bool led = (levels & 0x10) != 0;
            if (port == sim11::Port::A && led != level) {
                level = led;
                edges.push_back(cycle);
            }
        });
    monopuce.run(0.4);
    EXPECT_TRUE(edges.empty());
    EXPECT_EQ(monopuce.board->view().leds.at(0).brightness, 0.0f);
    monopuce.run(0.2);
    EXPECT_EQ(monopuce.board->view().leds.at(0).brightness, 1.0f) << "lit after 500 ms";
    monopuce.run(2.0);
    monopuce.session->machine().disconnect(watch);
    ASSERT_EQ(edges.size(), 5u);
    // The timer, not a loop, keeps the time: every toggle 500 ms exactly after the last.
    EXPECT_NEAR(static_cast<double>(edges[0]), 1e6, 200.0);
    for (std::size_t k = 1; k < edges.size(); ++k)
        EXPECT_EQ(edges[k] - edges[k - 1], 1'000'000u) << k;
}

TEST(ExamplesOnBoard, CanBarreShowsThePotAsABarOnPortB) {
    OnBoard monopuce("monopuce", "can_barre.asm");
    const struct {
        double volts;
        std::uint8_t bar;
    } cases[] = {{0.0, 0x00}, {2.5, 0x0F}, {5.0, 0xFF}, {0.4, 0x01}, {4.0, 0x3F}};
    for (const auto& c : cases) {
        monopuce.board->setPot(0, c.volts);
        monopuce.run(0.01);
        EXPECT_EQ(monopuce.session->machine().pins(sim11::Port::B), c.bar) << c.volts << " V";
    }
}

TEST(ExamplesOnBoard, TonaliteSounds1kHzOnTheBuzzer) {
    OnBoard tp("tp", "tonalite.asm");
    lab::Recorder* recorder = tp.board->recorder();
    ASSERT_NE(recorder, nullptr);
    ASSERT_EQ(recorder->signals().at(0).name(), "PA5");
    tp.run(0.02);
    const lab::RecordedChunk chunk = recorder->take();
    lab::Trace trace;
    trace.append(chunk.startLevels.at(0), chunk.from, chunk.until, chunk.edges.at(0));
    EXPECT_NEAR(static_cast<double>(trace.edges.size()), 40, 1);
    const std::optional<lab::Measurement> m = lab::measureAround(trace, 20'000, 2e6);
    ASSERT_TRUE(m);
    // An edge is stamped at the end of the instruction during which the
    // compare matched: each half period is 1000 cycles give or take the
    // polling loop's instruction, and exact over many.
    for (std::size_t k = 1; k < trace.edges.size(); ++k)
        EXPECT_NEAR(static_cast<double>(trace.edges[k].cycle - trace.edges[k - 1].cycle), 1000, 8)
            << k;
    const std::size_t last = trace.edges.size() - 1;
    EXPECT_NEAR(static_cast<double>(trace.edges[last].cycle - trace.edges[0].cycle) /
                    static_cast<double>(last),
                1000, 1);
    EXPECT_NEAR(m->frequency, 1000.0, 10.0);
    EXPECT_NEAR(m->duty, 0.5, 0.01);
    EXPECT_NEAR(tp.board->view().buzzers.at(0).frequency, 1000.0, 1.0);
}

TEST(ExamplesOnBoard, ClavierWritesEachKeyOnceDespiteTheBounce) {
    OnBoard tp("tp", "clavier.asm");
    tp.run(0.05);
    EXPECT_EQ(tp.lcdRow(0), std::string(16, ' '));
    // Keys are numbered row * 4 + column: 5, then # (row 3, column 2),
    // then D (row 3, column 3) held long.
    const struct {
        int key;
        double held;
    } presses[] = {{5, 0.05}, {14, 0.03}, {15, 0.5}};
    for (const auto& p : presses) {
        tp.board->pressKey(0, p.key, true);
        tp.run(p.held);
        tp.board->pressKey(0, p.key, false);
        tp.run(0.05);
    }
    EXPECT_EQ(tp.lcdRow(0), "5#D" + std::string(13, ' '));
    EXPECT_EQ(tp.board->view().lcds.at(0).lostWrites, 0u);
    // Sixteen more: the seventeenth goes on the second line.
    for (int k = 0; k < 14; ++k) {
        tp.board->pressKey(0, k, true);
        tp.run(0.03);
        tp.board->pressKey(0, k, false);
        tp.run(0.03);
    }
    EXPECT_EQ(tp.lcdRow(0), "5#D123A456B789C*");
    EXPECT_EQ(tp.lcdRow(1), "0" + std::string(15, ' '));
}

} // namespace
