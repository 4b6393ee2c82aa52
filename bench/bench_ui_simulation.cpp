// The simulation window while it runs: the same program to its STOP in the
// window (worker thread, panes refreshed) and on the bare session; how often
// the panes refresh; how long "Arrêter" takes; and a LED blinking in real time.
#include <benchmark/benchmark.h>

#include "benchmark_runner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>

#include "app/principal.h"
#include "simulation/board_pane.h"
#include "simulation/program.h"
#include "simulation/simulation_window.h"

namespace {

using kavrel::simulation::Program;
using kavrel::simulation::SimulationWindow;

// About 96 million E cycles, port B toggled on the way, then STOP (S cleared
// first, so that it stops the clocks).
const char* const kBusy = "PORTB   EQU   $1004\r\n"
                          "        ORG   $0100\r\n"
                          "START   LDS   #$01FF\r\n"
                          "        LDY   #16000\r\n"
                          "OUT     LDX   #1000\r\n"
                          "IN      DEX\r\n"
                          "        BNE   IN\r\n"
                          "        LDAA  PORTB\r\n"
                          "        EORA  #$01\r\n"
                          "        STAA  PORTB\r\n"
                          "        DEY\r\n"
                          "        BNE   OUT\r\n"
                          "        CLRA\r\n"
                          "        TAP\r\n"
                          "        STOP\r\n"
                          "        END   START\r\n";

// PB0 toggled every 500,000 E cycles: a 2 Hz blink at 2 MHz.
const char* const kBlink = "PORTB   EQU   $1004\r\n"
                           "        ORG   $0100\r\n"
                           "START   LDS   #$01FF\r\n"
                           "TOGGLE  LDAA  PORTB\r\n"
                           "        EORA  #$01\r\n"
                           "        STAA  PORTB\r\n"
                           "        LDX   #24999\r\n" // 24999 x 20 + 3 + 17 = 500,000
                           "WAIT    NOP\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        DEX\r\n"
                           "        BNE   WAIT\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        NOP\r\n"
                           "        BRA   TOGGLE\r\n"
                           "        END   START\r\n";

// Serves the events until `done`, at most `ms` milliseconds, sleeping in the
// event loop between two looks as the program itself would.
bool serveUntil(const std::function<bool()>& done, int ms = 600000) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer look;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > ms)
            loop.quit();
    });
    look.start(2);
    loop.exec();
    return done();
}

const char* const kForever = "        ORG   $0100\r\nLOOP    INCA\r\n        BRA   LOOP\r\n";

std::shared_ptr<const Program> assembled(const QTemporaryDir& dir, const char* name,
                                         const char* text) {
    const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
    std::ofstream(path, std::ios::binary) << text;
    return Program::assemble(path);
}

// A main window with a simulation window open on the program, shown.
struct Scene {
    QTemporaryDir dir;
    std::unique_ptr<kavrel::Principal> principal = kavrel::Main(dir.path());
    SimulationWindow* window = nullptr;

    explicit Scene(const char* text) {
        principal->resize(1200, 800);
        window = new SimulationWindow(*principal, assembled(dir, "programme.asc", text));
        principal->addSubWindow(window);
        window->resize(principal->mdiArea()->viewport()->size());
        serveUntil([&] { return window->snapshot() != nullptr && window->isVisible(); });
    }
    ~Scene() { window->close(); }
    bool until(const std::function<bool()>& done, int ms = 600000) { return serveUntil(done, ms); }
};

// The window runs the program to its STOP; refreshes counted on the way.
void BM_SimulationWindowFullSpeed(benchmark::State& state) {
    Scene scene(kBusy);
    SimulationWindow* window = scene.window;
    int refreshes = 0;
    QObject::connect(window, &SimulationWindow::shown, window,
                     [&](bool running) { refreshes += running ? 1 : 0; });
    std::uint64_t cycles = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        window->resetMachine();
        scene.until([&] { return window->snapshot()->cycles == 0 && !window->isRunning(); });
        refreshes = 0;
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        window->run();
        scene.until([&] { return !window->isRunning() && window->snapshot()->cycles > 0; });
        seconds += clock.nsecsElapsed() / 1e9;
        cycles += window->snapshot()->cycles;
    }
    state.counters["MHz_E"] = cycles / seconds / 1e6;
    state.counters["x_2MHz"] = cycles / seconds / 2e6;
    state.counters["refresh_Hz"] = refreshes / (seconds / state.iterations());
}
BENCHMARK(BM_SimulationWindowFullSpeed)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kavrel::bench::iterations(3))
    ->UseRealTime();

// One run of a program to its STOP on the bare session, in this thread, in
// one call: its E cycles and wall seconds; false when it did not stop.
bool bareRun(const Program& program, std::uint64_t& cycles, double& seconds,
             sim11::Setup setup = {}) {
    std::vector<sim11::Segment> segments;
    for (auto& segment : program.segments())
        segments.push_back({segment.address, segment.bytes});
    sim11::Session session(setup);
    std::string error;
    session.load(segments, error);
    session.setStart(program.entry());
    session.reset();
    QElapsedTimer clock;
    clock.start();
    const sim11::RunEnd end = session.run();
    seconds = clock.nsecsElapsed() / 1e9;
    cycles = session.cycles();
    return end == sim11::RunEnd::Stop;
}

// The same program on the bare session.
void BM_SimulationWindowFullSpeed_Baseline(benchmark::State& state) {
    QTemporaryDir dir;
    const auto program = assembled(dir, "programme.asc", kBusy);
    std::uint64_t cycles = 0;
    double seconds = 0;
    for (auto _ : state) {
        std::uint64_t c = 0;
        double s = 0;
        if (!bareRun(*program, c, s))
            state.SkipWithError("le programme ne s'est pas arrêté sur STOP");
        cycles += c;
        seconds += s;
        state.SetIterationTime(s);
    }
    state.counters["MHz_E"] = cycles / seconds / 1e6;
    state.counters["x_2MHz"] = cycles / seconds / 2e6;
}
BENCHMARK(BM_SimulationWindowFullSpeed_Baseline)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kavrel::bench::iterations(3))
    ->UseManualTime();

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The window against the bare session in pairs, one after the other, so
// that both sides of a pair meet the same machine load: per pair the
// window's speed over the bare session's, and the window's refresh rate.
// The counters give the medians over the pairs and the spread of the ratio.
// `prepare` sets the window up once (a board, a timing view).
void runPairs(benchmark::State& state, const char* text,
              const std::function<void(SimulationWindow&)>& prepare, sim11::Setup bare = {}) {
    Scene scene(text);
    SimulationWindow* window = scene.window;
    if (prepare)
        prepare(*window);
    int refreshes = 0;
    QObject::connect(window, &SimulationWindow::shown, window,
                     [&](bool running) { refreshes += running ? 1 : 0; });
    std::vector<double> windowSpeed, bareSpeed, ratio, refreshRate;
    for (auto _ : state) {
        window->resetMachine();
        scene.until([&] { return window->snapshot()->cycles == 0 && !window->isRunning(); });
        refreshes = 0;
        QElapsedTimer clock;
        clock.start();
        window->run();
        scene.until([&] { return !window->isRunning() && window->snapshot()->cycles > 0; });
        const double seconds = clock.nsecsElapsed() / 1e9;
        const double speed = window->snapshot()->cycles / seconds / 2e6;

        std::uint64_t bareCycles = 0;
        double bareSeconds = 0;
        if (!bareRun(*window->program(), bareCycles, bareSeconds, bare))
            state.SkipWithError("le programme ne s'est pas arrêté sur STOP");
        const double bare = bareCycles / bareSeconds / 2e6;
        windowSpeed.push_back(speed);
        bareSpeed.push_back(bare);
        ratio.push_back(speed / bare);
        refreshRate.push_back(refreshes / seconds);
        state.SetIterationTime(seconds + bareSeconds);
    }
    state.counters["window_x2MHz"] = median(windowSpeed);
    state.counters["bare_x2MHz"] = median(bareSpeed);
    state.counters["ratio_median"] = median(ratio);
    state.counters["ratio_min"] = *std::min_element(ratio.begin(), ratio.end());
    state.counters["ratio_max"] = *std::max_element(ratio.begin(), ratio.end());
    state.counters["refresh_Hz"] = median(refreshRate);
    state.counters["refresh_Hz_min"] = *std::min_element(refreshRate.begin(), refreshRate.end());
}

void BM_SimulationWindowPairs(benchmark::State& state) {
    runPairs(state, kBusy, nullptr);
}
BENCHMARK(BM_SimulationWindowPairs)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kavrel::bench::iterations(9))
    ->UseManualTime();

// The busy loop on the TP board (its LCD, its keypad, its timing view
// recording four pins), PD2 toggled on the way: a column of the keypad and a
// recorded signal. Against the bare session in the same mode.
const char* const kBusyBoard = "PORTD   EQU   $1008\r\n"
                               "DDRD    EQU   $1009\r\n"
                               "        ORG   $0100\r\n"
                               "START   LDS   #$01FF\r\n"
                               "        LDAA  #$3C\r\n"
                               "        STAA  DDRD\r\n"
                               "        LDY   #16000\r\n"
                               "OUT     LDX   #1000\r\n"
                               "IN      DEX\r\n"
                               "        BNE   IN\r\n"
                               "        LDAA  PORTD\r\n"
                               "        EORA  #$04\r\n"
                               "        STAA  PORTD\r\n"
                               "        DEY\r\n"
                               "        BNE   OUT\r\n"
                               "        CLRA\r\n"
                               "        TAP\r\n"
                               "        STOP\r\n"
                               "        END   START\r\n";

void BM_SimulationBoardPairs(benchmark::State& state) {
    runPairs(
        state, kBusyBoard,
        [&](SimulationWindow& window) {
            if (!window.selectBoard(QStringLiteral("tp")))
                state.SkipWithError("la carte de TP ne se charge pas");
        },
        sim11::Setup{sim11::Chip::E9, sim11::Mode::Expanded});
}
BENCHMARK(BM_SimulationBoardPairs)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kavrel::bench::iterations(9))
    ->UseManualTime();

// The keypad of the TP board read in a loop: key "1" (PD2's column, PE0's
// row) held lights PA6, released puts it out.
const char* const kKeyToPin = "REGS    EQU   $1000\r\n"
                              "        ORG   $0100\r\n"
                              "START   LDS   #$01FF\r\n"
                              "        LDX   #REGS\r\n"
                              "        LDAA  #$3C\r\n"
                              "        STAA  $09,X\r\n" // DDRD: PD2-PD5 out
                              "        LDAA  #$38\r\n"
                              "        STAA  $08,X\r\n" // PD2 low, the others high
                              "SCAN    LDAA  $0A,X\r\n" // PORTE
                              "        ANDA  #$01\r\n"
                              "        BEQ   DOWN\r\n"
                              "        CLR   $00,X\r\n" // PORTA: PA6 out
                              "        BRA   SCAN\r\n"
                              "DOWN    LDAA  #$40\r\n"
                              "        STAA  $00,X\r\n" // PA6 lit
                              "        BRA   SCAN\r\n"
                              "        END   START\r\n";

// From a key pressed with the mouse in the board pane to the program's
// answer shown in the window, against the period of the window's refresh.
void BM_SimulationKeyLatency(benchmark::State& state) {
    Scene scene(kKeyToPin);
    SimulationWindow* window = scene.window;
    if (!window->selectBoard(QStringLiteral("tp"))) {
        state.SkipWithError("la carte de TP ne se charge pas");
        return;
    }
    scene.until([&] { return window->snapshot() != nullptr && !window->isRunning(); });
    window->run();
    scene.until([&] { return window->isRunning(); });
    // The pane builds its parts from the first view of the board.
    scene.until([&] { return window->boardPane()->key(0, 0) != nullptr; }, 5000);
    QAbstractButton* key = window->boardPane()->key(0, 0);
    if (!key) {
        state.SkipWithError("le clavier de la carte n'est pas dans le volet");
        return;
    }
    const auto lit = [&] { return (window->snapshot()->ports[0].pins & 0x40) != 0; };
    // The mouse as the user's hand: a press and a release in the key.
    const auto mouse = [&](QEvent::Type type) {
        const QPointF at(key->width() / 2.0, key->height() / 2.0);
        QMouseEvent event(type, at, key->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(key, &event);
    };
    std::vector<double> latencies;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        mouse(QEvent::MouseButtonPress);
        scene.until(lit, 2000);
        const double seconds = clock.nsecsElapsed() / 1e9;
        latencies.push_back(seconds);
        state.SetIterationTime(seconds);
        mouse(QEvent::MouseButtonRelease);
        scene.until([&] { return !lit(); }, 2000);
        if (!lit())
            continue;
        state.SkipWithError("la touche relâchée n'a pas éteint PA6");
        break;
    }
    window->stop();
    scene.until([&] { return !window->isRunning(); });
    if (latencies.empty())
        return;
    state.counters["median_ms"] = median(latencies) * 1e3;
    state.counters["worst_ms"] = *std::max_element(latencies.begin(), latencies.end()) * 1e3;
    state.counters["refresh_period_ms"] = 1e3 / kavrel::simulation::Controller::kRefreshRate;
}
BENCHMARK(BM_SimulationKeyLatency)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kavrel::bench::iterations(15))
    ->UseManualTime();

// From "Arrêter" to the stopped machine shown in every pane.
void BM_SimulationStopLatency(benchmark::State& state) {
    Scene scene(kForever);
    SimulationWindow* window = scene.window;
    double worst = 0;
    for (auto _ : state) {
        window->run();
        scene.until([&] { return window->snapshot()->running; });
        scene.until([&] { return window->snapshot()->cycles > 2'000'000; }, 2000);
        const auto start = std::chrono::steady_clock::now();
        window->stop();
        scene.until([&] { return !window->isRunning(); });
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        worst = std::max(worst, elapsed);
        state.SetIterationTime(elapsed);
    }
    state.counters["worst_ms"] = worst * 1e3;
}
BENCHMARK(BM_SimulationStopLatency)->Unit(benchmark::kMillisecond)->Iterations(kavrel::bench::iterations(20))->UseManualTime();

// Real time: PB0 blinks at 2 Hz for 10 s of wall time; the blink counted
// from the LED's edges as the window saw them and from the E cycles run.
void BM_SimulationRealTimeBlink(benchmark::State& state) {
    Scene scene(kBlink);
    SimulationWindow* window = scene.window;
    window->setRealTime(true);
    int edges = 0;
    std::uint8_t last = 0;
    QObject::connect(window, &SimulationWindow::shown, window, [&](bool) {
        const std::uint8_t led = window->snapshot()->ports[1].pins & 1;
        edges += led != last ? 1 : 0;
        last = led;
    });
    double wall = 0, simulated = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        const double before = window->snapshot()->seconds;
        clock.start();
        window->run();
        const int measured = kavrel::bench::quick() ? 1'000 : 10'000;
        serveUntil([&] { return clock.elapsed() >= measured; }); // the measurement itself
        window->stop();
        wall = clock.nsecsElapsed() / 1e9;
        scene.until([&] { return !window->isRunning(); });
        simulated = window->snapshot()->seconds - before;
    }
    state.counters["blink_Hz"] = simulated / 0.5 / wall;
    state.counters["blink_Hz_seen"] = edges / 2.0 / wall;
    state.counters["error_pct"] = (simulated / wall - 1.0) * 100.0;
}
BENCHMARK(BM_SimulationRealTimeBlink)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace
