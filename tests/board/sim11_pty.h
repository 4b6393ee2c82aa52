// The simulator as a board on a pseudo-terminal: `sim11 --mode boot --sci
// pty` (or any other arguments, such as a board with its monitor) started as
// a process of its own, its terminal's path read from what it prints, its
// loader's break taken, ended with the object. Linux only;
// header-only, no Qt, for the tests and the benchmarks.
#pragma once
#ifdef __linux__

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kavrel::board::test {

class Sim11OnPty {
public:
    // `chip` A1, E1 or E9 in bootstrap mode; `extra` more arguments (an S19 file...).
    Sim11OnPty(const std::string& sim11, const std::string& chip,
               std::vector<std::string> extra = {})
        : Sim11OnPty(sim11, withChip(chip, std::move(extra)), Start::Loader) {}

    // What the chip does first: its loader sends a break, taken here; a
    // monitor in ROM says its name and waits for a carriage return, left to the test.
    enum class Start { Loader, Program };
    // Any arguments (a board, a mode, S19 files); `--sci pty` is added.
    Sim11OnPty(const std::string& sim11, std::vector<std::string> arguments, Start start) {
        int err[2];
        if (::pipe2(err, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> args{sim11, "--sci", "pty"};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, sim11.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(err[1]);
        stderr_ = err[0];
        if (pid_ > 0)
            readPath();
        if (!path_.empty() && start == Start::Loader)
            awaitBreak();
    }
    ~Sim11OnPty() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
        if (stderr_ >= 0)
            ::close(stderr_);
    }
    Sim11OnPty(const Sim11OnPty&) = delete;
    Sim11OnPty& operator=(const Sim11OnPty&) = delete;

    // The slave side of its terminal; empty when it did not start.
    const std::string& path() const { return path_; }
    // What it printed on its error stream so far.
    const std::string& said() const { return said_; }

private:
    static std::vector<std::string> withChip(const std::string& chip,
                                             std::vector<std::string> extra) {
        std::vector<std::string> args{"--chip", chip, "--mode", "boot"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    void readPath() {
        const std::string mark = "sim11 : terminal ";
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{stderr_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(stderr_, buffer, sizeof buffer);
            if (n <= 0)
                return;
            said_.append(buffer, static_cast<std::size_t>(n));
            const auto at = said_.find(mark);
            if (at == std::string::npos)
                continue;
            const auto lineEnd = said_.find('\n', at);
            if (lineEnd == std::string::npos)
                continue;
            path_ = said_.substr(at + mark.size(), lineEnd - at - mark.size());
            return;
        }
    }

    // The chip's loader is ready once its break has come: taken here, as a
    // board's break is long gone when the user has pressed RESET and then
    // starts the load.
    void awaitBreak() {
        const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) > 0) {
            char byte;
            [[maybe_unused]] const ssize_t n = ::read(fd, &byte, 1);
        }
        ::close(fd);
    }

    pid_t pid_ = -1;
    int stderr_ = -1;
    std::string path_;
    std::string said_;
};

} // namespace kavrel::board::test

#endif
