// The host's side of sim11: standard streams, the pseudo-terminal, signals.
// The only system-specific part of the simulator.
#include "cli.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace sim11 {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onSignal(int) {
    interrupted.store(true);
}

// Standard input and output. A file given as input is read at once, so a
// scripted session gives the same run every time; a pipe or a terminal is
// read by a thread while the simulation goes on.
class StdioHost final : public SerialHost {
public:
    StdioHost() : input_(std::make_shared<Input>()) {
        struct stat info {};
        if (fstat(0, &info) == 0 && S_ISREG(info.st_mode)) {
            int c;
            while ((c = std::getc(stdin)) != EOF)
                input_->queue.push_back(static_cast<std::uint8_t>(c));
            input_->waiting.store(!input_->queue.empty());
            input_->ended.store(true);
            return;
        }
#ifndef _WIN32
        // A terminal behaves as the far end of a serial line: keys go out as
        // typed (Return is a carriage return), the program does the echo.
        if (isatty(0) && tcgetattr(0, &saved_) == 0) {
            termios raw = saved_;
            raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
            raw.c_iflag &= static_cast<tcflag_t>(~(ICRNL | INLCR | IGNCR));
            raw.c_cc[VMIN] = 1;
            raw.c_cc[VTIME] = 0;
            restore_ = tcsetattr(0, TCSANOW, &raw) == 0;
        }
#endif
        // The reader may still wait for input when the run is over: it keeps
        // what it writes to alive by itself.
        std::thread([input = input_] {
            int c;
            while ((c = std::getc(stdin)) != EOF) {
                std::lock_guard<std::mutex> lock(input->mutex);
                input->queue.push_back(static_cast<std::uint8_t>(c));
                input->waiting.store(true, std::memory_order_release);
            }
            input->ended.store(true);
        }).detach();
    }
    ~StdioHost() override {
#ifndef _WIN32
        if (restore_)
            tcsetattr(0, TCSANOW, &saved_);
#endif
    }
    void transmit(std::uint8_t byte) override {
        out_.push_back(static_cast<char>(byte));
    }
    // Called between two slices of the run, which on a wire may be a single
    // instruction: the lock is taken only when the reader has something.
    void poll(std::vector<std::uint8_t>& received) override {
        if (!input_->waiting.load(std::memory_order_acquire))
            return;
        std::lock_guard<std::mutex> lock(input_->mutex);
        received.insert(received.end(), input_->queue.begin(), input_->queue.end());
        input_->queue.clear();
        input_->waiting.store(false, std::memory_order_relaxed);
    }
    void flush() override {
        if (!out_.empty()) {
            std::fwrite(out_.data(), 1, out_.size(), stdout);
            out_.clear();
        }
        std::fflush(stdout);
    }
    // A pipe or a terminal may still send until its end is read.
    bool live() const override {
        return !input_->ended.load();
    }

private:
    struct Input {
        std::atomic<bool> ended{false};
        std::atomic<bool> waiting{false}; // the queue holds bytes; set and cleared under the lock
        std::mutex mutex;
        std::deque<std::uint8_t> queue;
    };
    std::shared_ptr<Input> input_;
    std::string out_;
#ifndef _WIN32
    termios saved_{};
    bool restore_ = false;
#endif
};

#ifndef _WIN32
// A pseudo-terminal that a terminal program or a serial loader opens as it
// would open the port of a board.
class PtyHost final : public SerialHost {
public:
    bool open(std::string& path, std::string& error) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            error = "impossible de créer un pseudo-terminal";
            return false;
        }
        const char* name = ptsname(master_);
        if (!name) {
            error = "impossible de créer un pseudo-terminal";
            return false;
        }
        path = name;
        // Holding the far end open keeps the line up between two clients.
        slave_ = ::open(name, O_RDWR | O_NOCTTY);
        if (slave_ >= 0) {
            termios t{};
            if (tcgetattr(slave_, &t) == 0) {
                cfmakeraw(&t);
                tcsetattr(slave_, TCSANOW, &t);
            }
        }
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        return true;
    }
    ~PtyHost() override {
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    void transmit(std::uint8_t byte) override { out_.push_back(static_cast<char>(byte)); }
    void poll(std::vector<std::uint8_t>& received) override {
        std::uint8_t buffer[256];
        for (;;) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            received.insert(received.end(), buffer, buffer + n);
        }
    }
    void flush() override {
        // Nobody reading and the line full: the bytes are lost, as on a wire.
        std::size_t done = 0;
        while (done < out_.size()) {
            const ssize_t n = ::write(master_, out_.data() + done, out_.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        out_.clear();
    }
    // A terminal program may open the line and send at any time.
    bool live() const override { return true; }

private:
    int master_ = -1, slave_ = -1;
    std::string out_;
};
#endif

} // namespace

int runCommandLine(int argc, char** argv) {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
    // Bytes of the SCI pass unchanged: no CR LF translation.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    std::string error;
    if (!parseOptions(args, options, error)) {
        std::cerr << "sim11 : " << error << '\n' << usageText();
        return exitUsage;
    }
    if (options.help) {
        std::cout << usageText()
                  << "Simule un 68HC11 (A1, E1 ou E9) et exécute les fichiers S19 donnés.\n"
                     "Voir sim11.hlp à côté du programme.\n";
        return exitOk;
    }
    std::unique_ptr<lab::LabBoard> board = openBoard(options, error);
    if (!board) {
        std::cerr << "sim11 : " << error << '\n';
        return exitUsage;
    }
    auto session = std::make_unique<Session>(boardSetup(options, *board));
    // The board's memory answers before the program is loaded into it.
    board->setEClock(*options.quartzHz / 4);
    board->attach(session->machine());
    if (!loadPrograms(options, *session, error)) {
        std::cerr << "sim11 : " << error << '\n';
        return exitUsage;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::unique_ptr<SerialHost> host;
    if (options.sci == Options::Sci::Pty) {
#ifdef _WIN32
        std::cerr << "sim11 : --sci pty n'est pas disponible sous Windows\n";
        return exitUsage;
#else
        auto pty = std::make_unique<PtyHost>();
        std::string path;
        if (!pty->open(path, error)) {
            std::cerr << "sim11 : " << error << '\n';
            return exitUsage;
        }
        std::cerr << "sim11 : terminal " << path << std::endl;
        host = std::move(pty);
#endif
    } else {
        host = std::make_unique<StdioHost>();
    }
    const int status = runSimulation(options, *session, *host, std::cerr, interrupted, board.get());
    host.reset();
    board->detach();
    return status;
}

} // namespace sim11
