// sim11 on a console that another program drives through pipes, as a user
// at a terminal would: what the program says reaches the console while the
// run goes on, not only when it ends.
#include "sim_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace sim11::test {
namespace {

namespace fs = std::filesystem;

// Says "> ", then echoes every byte it receives, at 9600 bauds, for ever.
const char* prompter = R"( ORG $E000
START LDX #$1000
 LDAA #$30
 STAA $2B,X
 LDAA #$0C
 STAA $2D,X
 LDY #PROMPT
NEXT LDAA 0,Y
 BEQ ECHO
W1 BRCLR $2E,X,#$80,W1
 STAA $2F,X
 INY
 BRA NEXT
ECHO BRCLR $2E,X,#$20,ECHO
 LDAA $2F,X
W2 BRCLR $2E,X,#$80,W2
 STAA $2F,X
 BRA ECHO
PROMPT FCC '> '
 FCB 0
 ORG $FFFE
 FDB START
)";

// sim11 with its standard input and output on pipes; stopped by SIGTERM as
// by Ctrl+C when the test is done with it.
class PipedSim {
public:
    explicit PipedSim(const fs::path& s19) {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
            // Some forty seconds at full speed: the run outlasts the test.
            ::execl(SIM11_EXECUTABLE, SIM11_EXECUTABLE, "--cycles", "20000000000",
                    s19.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toSim_ = in[1];
        fromSim_ = out[0];
    }
    ~PipedSim() {
        stop();
        if (toSim_ >= 0)
            ::close(toSim_);
        if (fromSim_ >= 0)
            ::close(fromSim_);
    }
    bool started() const { return pid_ > 0; }

    // What sim11 writes until `expected` has come, or three seconds.
    std::string readUntil(const std::string& expected) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        std::string got;
        while (got.find(expected) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fromSim_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fromSim_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    bool send(const std::string& bytes) {
        return ::write(toSim_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Ends the run; its exit status, or -1.
    int stop() {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int toSim_ = -1, fromSim_ = -1;
};

TEST(CliConsole, PromptAndEchoReachTheConsoleWhileTheRunGoesOn) {
    const fs::path dir =
        fs::temp_directory_path() / ("sim11_console_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const asmhc11::Result assembled = asmhc11::assembleSource(prompter, asmhc11::Mode::S19);
    ASSERT_TRUE(assembled.ok());
    std::ofstream(dir / "p.s19", std::ios::binary) << assembled.s19;
    {
        PipedSim sim(dir / "p.s19");
        ASSERT_TRUE(sim.started());
        EXPECT_EQ(sim.readUntil("> "), "> ");
        // Each key comes back as it is typed, the run still going.
        for (const char* key : {"a", "b"}) {
            ASSERT_TRUE(sim.send(key));
            EXPECT_EQ(sim.readUntil(key), key);
        }
        EXPECT_EQ(sim.stop(), 0);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

} // namespace
} // namespace sim11::test
#endif
