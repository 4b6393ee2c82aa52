// sim11 as a program: options, exit status, the SCI on standard input and
// output, the register line and the trace, started as a real process.
#include "sim_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace sim11::test {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// An argument kept from the shell ($ and blanks).
std::string literal(const std::string& text) {
#ifdef _WIN32
    return "\"" + text + "\"";
#else
    return "'" + text + "'";
#endif
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("sim11_cli_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // An S19 file of the program, assembled by asmhc11's library.
    std::string s19(const std::string& name, const std::string& source) {
        const asmhc11::Result result = asmhc11::assembleSource(source, asmhc11::Mode::S19);
        EXPECT_TRUE(result.ok());
        const fs::path path = dir_ / name;
        writeAll(path, result.s19);
        return "\"" + path.string() + "\"";
    }

    // Starts sim11; a run never lasts more than its cycle budget, whatever it loads.
    Outcome sim(const std::string& arguments, const std::string& input = {}) {
        writeAll(dir_ / "in", input);
        const std::string budget =
            arguments.find("--cycles") == std::string::npos ? "--cycles 100000000 " : "";
        std::string command = std::string("\"") + SIM11_EXECUTABLE + "\" " + budget + arguments +
                              " < \"" + (dir_ / "in").string() + "\" > \"" +
                              (dir_ / "out").string() + "\" 2> \"" + (dir_ / "err").string() + "\"";
#ifdef _WIN32
        command = "\"" + command + "\"";
#endif
        Outcome run;
        const int raw = std::system(command.c_str());
#ifdef _WIN32
        run.status = raw;
#else
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        run.out = readAll(dir_ / "out");
        run.err = readAll(dir_ / "err");
        // Messages are text: Windows ends their lines with CR LF.
        for (std::size_t at; (at = run.err.find("\r\n")) != std::string::npos;)
            run.err.erase(at, 1);
        return run;
    }

    fs::path dir_;
};

// Sends a text on the SCI at 9600 baud, waits for the last byte to leave, stops.
const char* sender = R"( ORG $E000
START LDX #$1000
 LDAA #$30
 STAA $2B,X
 LDAA #$0C
 STAA $2D,X
 LDY #TEXT
NEXT LDAA 0,Y
 BEQ DONE
W BRCLR $2E,X,#$80,W
 STAA $2F,X
 INY
 BRA NEXT
DONE BRCLR $2E,X,#$40,DONE
 STOP
TEXT FCC 'Bonjour'
 FCB 13,10,0
 ORG $FFFE
 FDB START
)";

// Echoes every byte plus one until it receives a dot.
const char* echo = R"( ORG $E000
START LDX #$1000
 LDAA #$30
 STAA $2B,X
 LDAA #$0C
 STAA $2D,X
R BRCLR $2E,X,#$20,R
 LDAA $2F,X
 CMPA #'.
 BEQ DONE
 INCA
W BRCLR $2E,X,#$80,W
 STAA $2F,X
 BRA R
DONE BRCLR $2E,X,#$40,DONE
 STOP
 ORG $FFFE
 FDB START
)";

TEST_F(Cli, RegistersPrintedAtTheStop) {
    const std::string file = s19(
        "p.s19", " ORG $E000\nS LDAA #$12\n LDAB #$34\n LDX #$5678\n STOP\n ORG $FFFE\n FDB S\n");
    const Outcome run = sim("--regs " + file);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "A=12 B=34 X=5678 Y=0000 SP=0000 PC=E008 CCR=D0 cycles=9\n");
}

TEST_F(Cli, StartAddressInHexOrDecimal) {
    const std::string file = s19("p.s19", " ORG $E000\n LDAA #1\n STOP\n LDAA #2\n STOP\n");
    for (const char* start : {"$E003", "57347", "0xE003"}) {
        const Outcome run = sim("--regs --start " + literal(start) + " " + file);
        EXPECT_EQ(run.status, 0) << start;
        EXPECT_EQ(run.err.substr(0, 5), "A=02 ") << start;
    }
}

TEST_F(Cli, CycleLimitEndsAnEndlessLoop) {
    const std::string file = s19("p.s19", " ORG $E000\nS BRA S\n ORG $FFFE\n FDB S\n");
    const Outcome run = sim("--regs --cycles 1000 " + file);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("PC=E000 CCR=D0 cycles=1002"), std::string::npos) << run.err;
}

TEST_F(Cli, SciTransmitsOnStandardOutput) {
    const Outcome run = sim(s19("p.s19", sender));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Bonjour\r\n");
}

TEST_F(Cli, StandardInputReachesTheReceiver) {
    const Outcome run = sim(s19("p.s19", echo), "HAL.");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "IBM");
}

TEST_F(Cli, TraceWritesOneLinePerInstruction) {
    const std::string file = s19("p.s19", " ORG $E000\nS LDAA #$12\n STOP\n ORG $FFFE\n FDB S\n");
    const Outcome run = sim("--trace " + file);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
              "E000  86 12         LDAA  #$12            "
              "A=00 B=00 X=0000 Y=0000 SP=0000 CCR=D0 cycles=0");
    EXPECT_NE(run.err.find("E002  CF            STOP"), std::string::npos);
}

TEST_F(Cli, BadUsageAndUnreadableFilesExitWithTwo) {
    const std::string good = s19("p.s19", " ORG $E000\n STOP\n");
    writeAll(dir_ / "bad.s19", "S1050000860174\n");
    writeAll(dir_ / "junk.s19", "bonjour\n");
    writeAll(dir_ / "empty.s19", "");
    const std::string quotedDir = "\"" + dir_.string();
    struct Case {
        std::string args;
        std::string message;
    };
    const Case cases[] = {
        {"--chip F1 " + good, "circuit inconnu « F1 »"},
        {"--mode test " + good, "mode inconnu « test »"},
        {"--start " + literal("$10000") + " " + good, "adresse de départ invalide « $10000 »"},
        {"--start E000 " + good, "adresse de départ invalide"},
        {"--cycles -5 " + good, "nombre de cycles invalide"},
        {"--sci com1 " + good, "liaison série inconnue « com1 »"},
        {"--board pcb " + good, "carte inconnue « pcb »"},
        {"--baud 12 " + good, "vitesse invalide « 12 »"},
        {"--baud 9600x " + good, "vitesse invalide « 9600x »"},
        {"--quartz 0 " + good, "quartz invalide « 0 »"},
        {"--quartz 8MHz " + good, "quartz invalide « 8MHz »"},
        {"--quartz 32 " + good, "quartz invalide « 32 »"},
        {quotedDir + "\"", "c'est un répertoire, pas un fichier S19"},
        {quotedDir + "/empty.s19\"", "ne contient aucun enregistrement S"},
        {"--vite " + good, "option inconnue « --vite »"},
        {"--regs --cycles", "l'option --cycles attend une valeur"},
        {quotedDir + "/absent.s19\"", "fichier illisible"},
        {quotedDir + "/bad.s19\"", "somme de contrôle fausse"},
        {quotedDir + "/junk.s19\"", "ligne 1 : ce n'est pas un enregistrement S"},
        {"--chip A1 " + good, "l'adresse $E000 n'est pas dans la mémoire du A1"},
    };
    for (const Case& c : cases) {
        const Outcome run = sim(c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_EQ(run.err.rfind("sim11 : ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
    }
}

TEST_F(Cli, HelpIsFrenchAndTheHelpFileSitsBesideTheProgram) {
    const Outcome run = sim("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage : sim11 [--chip A1|E1|E9]", 0), 0u) << run.out;
    const fs::path help = fs::path(SIM11_EXECUTABLE).parent_path() / "sim11.hlp";
    ASSERT_TRUE(fs::exists(help));
    // Like the other help files: Windows-1252, CR LF.
    const std::string text = readAll(help);
    EXPECT_NE(text.find("--board evb"), std::string::npos);
    EXPECT_NE(text.find("Simulateur du microcontr\xF4leur"), std::string::npos) << "Windows-1252";
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << "ligne finie par LF seul, octet " << at;
}

TEST_F(Cli, ADosEndOfFileMarkEndsTheS19Text) {
    const asmhc11::Result result = asmhc11::assembleSource(
        " ORG $E000\nS LDAA #$12\n STOP\n ORG $FFFE\n FDB S\n", asmhc11::Mode::S19);
    writeAll(dir_ / "dos.s19", result.s19 + "\x1A");
    const Outcome run = sim("--regs \"" + (dir_ / "dos.s19").string() + "\"");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.substr(0, 5), "A=12 ");
}

TEST_F(Cli, ConfigFromTheS19FileArmsTheCop) {
    // Never serviced, the watchdog resets the chip through its own vector.
    const std::string file = s19("p.s19", " ORG $E000\nS BRA S\nC LDAB #$C0\n STOP\n"
                                          " ORG $FFFA\n FDB C\n ORG $FFFE\n FDB S\n"
                                          " ORG $103F\n FCB $0B\n");
    const Outcome run = sim("--regs --cycles 100000 " + file);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.substr(0, 10), "A=00 B=C0 ") << run.err;
}

TEST_F(Cli, BuffaloAnswersOnStandardInputAndOutput) {
    const fs::path source = fs::path(KAVREL_TESTDATA_DIR) / "buffalo-34.asm";
    if (!fs::exists(source))
        GTEST_SKIP() << "absent : " << source.string();
    const std::string file = s19("buffalo.s19", readAll(source));
    const Outcome run = sim("--chip E9 --mode single --cycles 8000000 " + file, "\rMD E000 E00F\r");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("BUFFALO 3.4"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("E000 CE 10 0A 1F 00 01 03 7E B6 00 86 93 B7 10 39 86"),
              std::string::npos)
        << run.out;
}

#ifndef _WIN32
// A downloader on a pipe that sends a byte and waits for its echo, as real
// ones do: the E9's loader must not time out between two bytes.
// What a downloader that waits for each echo got from sim11's loader over a
// pipe: the $FF, then `image`, then the byte the loaded program sends.
struct PipeLoad {
    bool breakSeen = false;
    std::size_t echoed = 0;
    int answer = -1;
    std::string err; // --regs
};

PipeLoad loadOverPipe(const fs::path& dir, const std::string& options, const std::string& image) {
    PipeLoad load;
    int toSim[2], fromSim[2];
    if (::pipe(toSim) != 0 || ::pipe(fromSim) != 0)
        return load;
    const fs::path errFile = dir / "load.err";
    const pid_t child = ::fork();
    if (child < 0)
        return load;
    if (child == 0) {
        ::dup2(toSim[0], 0);
        ::dup2(fromSim[1], 1);
        ::close(toSim[1]);
        ::close(fromSim[0]);
        ::execl("/bin/sh", "sh", "-c",
                ("exec \"" + std::string(SIM11_EXECUTABLE) + "\" --mode boot --regs " + options +
                 " 2> \"" + errFile.string() + "\"")
                    .c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(toSim[0]);
    ::close(fromSim[1]);
    auto readByte = [&](int& byte) {
        pollfd p{fromSim[0], POLLIN, 0};
        unsigned char c;
        if (::poll(&p, 1, 3000) <= 0 || ::read(fromSim[0], &c, 1) != 1)
            return false;
        byte = c;
        return true;
    };
    int got = -1;
    load.breakSeen = readByte(got) && got == 0x00;
    const char ff = '\xFF';
    if (::write(toSim[1], &ff, 1) == 1) {
        for (const char byte : image) {
            if (::write(toSim[1], &byte, 1) != 1 || !readByte(got) || got != (byte & 0xFF))
                break;
            ++load.echoed;
        }
        if (load.echoed == image.size() && readByte(got))
            load.answer = got;
    }
    ::close(toSim[1]);
    ::close(fromSim[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    load.err = readAll(errFile);
    return load;
}

// The E cycles sim11 ran, from its --regs line.
std::uint64_t cyclesOf(const std::string& regs) {
    const std::size_t at = regs.rfind("cycles=");
    return at == std::string::npos ? 0 : std::stoull(regs.substr(at + 7));
}

// LDAB #'K, STAB SCDR, W LDAA SCSR, ANDA #TC, BEQ W, STOP, then filler.
std::string greetingImage(std::size_t size) {
    std::string image = "\xC6\x4B\xF7\x10\x2F\xB6\x10\x2E\x84\x40\x27\xF9\xCF";
    image.resize(size, '\x01');
    return image;
}

TEST_F(Cli, BootLoaderOverAPipeWaitsForAHostThatWaitsForEachEcho) {
    const std::string image = greetingImage(40);
    for (const char* realtime : {"", "--realtime "}) {
        const PipeLoad load = loadOverPipe(dir_, std::string(realtime) + "--cycles 4000000", image);
        EXPECT_TRUE(load.breakSeen) << "the loader's break " << realtime;
        EXPECT_EQ(load.echoed, image.size()) << realtime;
        EXPECT_EQ(load.answer, 'K') << "the program ran " << realtime;
    }
}

// The loader's break is the first thing the chip says: the host that waits
// for it before sending answers on its turn, so the simulated time does not
// run on while this computer wakes the host up. The same load counts the
// same E cycles every time.
TEST_F(Cli, ALoadCountsTheSameCyclesHoweverSlowTheHostIsToWake) {
    const std::string image = greetingImage(24);
    std::vector<std::uint64_t> cycles;
    for (int k = 0; k < 3; ++k) {
        const PipeLoad load = loadOverPipe(dir_, "--cycles 20000000", image);
        ASSERT_EQ(load.answer, 'K');
        cycles.push_back(cyclesOf(load.err));
    }
    EXPECT_EQ(cycles[0], cycles[1]);
    EXPECT_EQ(cycles[1], cycles[2]);
}

// The host's own speed: a loader at 7812 bauds reads a $FF sent at 1200 as
// garbage and falls back to 1200, so the load takes the slow wire's time in
// E cycles; another crystal moves the loader's rate; a speed the chip cannot
// follow garbles the load as on a board.
TEST_F(Cli, HostSpeedAndCrystalSetTheLoadersRate) {
    const std::string e9 = greetingImage(32);
    // The program and the $FF, ten bits each at the chip's rate: E / 16 / 16
    // (7812 bauds from 8 MHz) or E / 16 / 13 / 8 (1200). The start, the
    // loader's closing pause and the host's waits add the same to both.
    const std::uint64_t fast = 33 * 10 * 256, slow = 33 * 10 * 1664;

    const PipeLoad same = loadOverPipe(dir_, "--cycles 20000000", e9);
    EXPECT_EQ(same.echoed, e9.size());
    EXPECT_EQ(same.answer, 'K');
    EXPECT_GE(cyclesOf(same.err), fast) << same.err;

    const PipeLoad at1200 = loadOverPipe(dir_, "--baud 1200 --cycles 20000000", e9);
    EXPECT_EQ(at1200.echoed, e9.size());
    EXPECT_EQ(at1200.answer, 'K');
    EXPECT_GE(cyclesOf(at1200.err), slow) << at1200.err;
    EXPECT_GE(cyclesOf(at1200.err), cyclesOf(same.err) + (slow - fast) * 9 / 10)
        << same.err << at1200.err;

    const PipeLoad at9600 =
        loadOverPipe(dir_, "--chip E9 --quartz 9,8304 --baud 9600 --cycles 20000000", e9);
    EXPECT_EQ(at9600.echoed, e9.size());
    EXPECT_EQ(at9600.answer, 'K');

    // 9600 bauds into a loader at 7812: the $FF is misread, the loader goes
    // to 1200, and the bytes that follow cannot come back as they were sent.
    const PipeLoad wrong = loadOverPipe(dir_, "--chip E9 --baud 9600 --cycles 2000000", e9);
    EXPECT_LT(wrong.echoed, e9.size());
    EXPECT_NE(wrong.answer, 'K');
}

// sim11 on a pseudo-terminal, its path read from what it says first.
class PtySim {
public:
    explicit PtySim(const std::string& arguments) {
        const std::string command = std::string("\"") + SIM11_EXECUTABLE + "\" --sci pty " +
                                    arguments + " 2>&1 >/dev/null";
        pipe_ = popen(command.c_str(), "r");
        char line[256] = {};
        if (!pipe_ || !std::fgets(line, sizeof line, pipe_))
            return;
        const std::string announce = line;
        const std::string mark = "sim11 : terminal ";
        if (announce.rfind(mark, 0) == 0)
            path_ = announce.substr(mark.size(), announce.find('\n') - mark.size());
        else
            said_ = announce;
    }
    ~PtySim() {
        if (pipe_)
            pclose(pipe_);
    }
    const std::string& path() const { return path_; }
    const std::string& said() const { return said_; }

    // Reads from `fd` until `count` bytes have come or `withinMs` has passed.
    static std::string read(int fd, std::size_t count, int withinMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(withinMs);
        std::string got;
        pollfd p{fd, POLLIN, 0};
        while (got.size() < count && std::chrono::steady_clock::now() < end &&
               ::poll(&p, 1, 100) >= 0) {
            if (!(p.revents & POLLIN)) {
                if (p.revents & (POLLHUP | POLLERR))
                    break;
                continue;
            }
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    FILE* pipe_ = nullptr;
    std::string path_, said_;
};

TEST_F(Cli, PseudoTerminalCarriesTheSciInRealTime) {
    // Two seconds of simulated time, paced: the run ends by itself.
    PtySim sim("--cycles 4000000 " + s19("p.s19", echo));
    if (sim.said().find("impossible de créer un pseudo-terminal") != std::string::npos)
        GTEST_SKIP() << "pas de pseudo-terminal sur cette machine";
    ASSERT_FALSE(sim.path().empty()) << sim.said();
    const int fd = ::open(sim.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << sim.path();
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    const std::string got = PtySim::read(fd, 3, 1500);
    ::close(fd);
    EXPECT_EQ(got, "bcd");
}

// A program that talks alone goes at its line's speed: a listener that says
// nothing is not waited for after each byte. 1,000 bytes at 9600 bauds are
// about a second of wire; waiting for an answer after each would take
// nearly a minute.
TEST_F(Cli, APseudoTerminalThatOnlyListensDoesNotSlowTheProgram) {
    const std::string chatter = R"( ORG $E000
START LDX #$1000
 LDAA #$30
 STAA $2B,X
 LDAA #$0C
 STAA $2D,X
 LDY #1000
NEXT BRCLR $2E,X,#$80,NEXT
 LDAA #'A
 STAA $2F,X
 DEY
 BNE NEXT
DONE BRA DONE
 ORG $FFFE
 FDB START
)";
    PtySim sim("--cycles 3000000 " + s19("c.s19", chatter));
    if (sim.said().find("impossible de créer un pseudo-terminal") != std::string::npos)
        GTEST_SKIP() << "pas de pseudo-terminal sur cette machine";
    ASSERT_FALSE(sim.path().empty()) << sim.said();
    const int fd = ::open(sim.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << sim.path();
    const std::string got = PtySim::read(fd, 1000, 10000);
    ::close(fd);
    EXPECT_EQ(got.size(), 1000u);
    EXPECT_EQ(got.find_first_not_of('A'), std::string::npos);
}
#else
TEST_F(Cli, PseudoTerminalIsNotAvailableOnWindows) {
    const Outcome run = sim("--sci pty " + s19("p.s19", echo));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("n'est pas disponible sous Windows"), std::string::npos);
}
#endif

} // namespace
} // namespace sim11::test
