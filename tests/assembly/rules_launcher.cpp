#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "assembly/launcher.h"
#include "fakes/program_dir.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/process.h"

namespace kavrel::assembly {
namespace {

#ifndef _WIN32
using test::ProgramDir;
using test::steadyNowMs;

std::string physical(const std::string& path) {
    return test::u8String(std::filesystem::canonical(test::u8Path(path)));
}

// File names that a shell or a naive split would change.
const char* const kAwkwardArguments[] = {
    "/src/mes sources/prog 1.asc",
    "/src/a;b.asc",
    "/src/a&b|c.asc",
    "/src/\"quoted\" 'single'.asc",
    "/src/$(touch injected) `id` $HOME.asc",
    "/src/été à Noël.asc",
    "  blanks around  ",
    "",
};

// No child of ours is left, finished or not.
void expectNoChild() {
    int status = 0;
    errno = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(LaunchAssembler, DirectStartHandsTheArgumentOnAsOneArgument) {
    const ProgramDir dir("programme d'essai é");
    for (const char* argument : kAwkwardArguments)
        LaunchAssembler(dir.assembler(), argument, dir.path(), true, false);

    const auto runs = dir.runs();
    ASSERT_EQ(runs.size(), std::size(kAwkwardArguments));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].args, (std::vector<std::string>{dir.assembler(), kAwkwardArguments[i]}));
        EXPECT_EQ(runs[i].cwd, physical(dir.path()));
    }
    EXPECT_FALSE(test::exists(dir.file("injected")));
    EXPECT_FALSE(test::exists("injected"));
    expectNoChild();
}

TEST(LaunchAssembler, DirectStartInheritsTheEnvironment) {
    const ProgramDir dir;
    ::setenv("KAVREL_FAKE_PROBE", "valeur héritée", 1);
    dir.control("env KAVREL_FAKE_PROBE\n");
    LaunchAssembler(dir.assembler(), "x.asc", dir.path(), true, false);
    ::unsetenv("KAVREL_FAKE_PROBE");
    const auto runs = dir.runs();
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].env.size(), 1u);
    EXPECT_EQ(runs[0].env[0].second, "valeur héritée");
}

TEST(LaunchAssembler, DirectStartWaitsOnlyWhenAsked) {
    const ProgramDir dir;
    dir.control("sleep 300\n");

    const long long before = steadyNowMs();
    LaunchAssembler(dir.assembler(), "x.asc", dir.path(), true, false);
    const long long after = steadyNowMs();
    auto runs = dir.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_LE(runs[0].endMs, after);
    EXPECT_GE(after - before, 300);
    EXPECT_GE(runs[0].endMs - runs[0].startMs, 300);

    // Not waited for: back while the assembler still sleeps, and no zombie later.
    dir.clearRuns();
    LaunchAssembler(dir.assembler(), "y.asc", dir.path(), false, false);
    EXPECT_FALSE(test::exists(dir.file("fake_asmhc11.log")));
    expectNoChild();
    const long long deadline = steadyNowMs() + 10000;
    while (!test::exists(dir.file("fake_asmhc11.log")) && steadyNowMs() < deadline)
        ::usleep(5000);
    // The record is written in one piece; give it the time to be complete.
    while (dir.runs().empty() || dir.runs()[0].endMs == 0) {
        if (steadyNowMs() > deadline)
            break;
        ::usleep(5000);
    }
    runs = dir.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args[1], "y.asc");
    expectNoChild();
}

TEST(LaunchAssembler, FailedDirectStartsAreReported) {
    const ProgramDir dir;
    const std::string missing = dir.file("absent");
    const std::string plain = dir.file("pas un programme");
    test::writeFileBytes(plain, "rien\n");

    const struct {
        std::string exe;
        std::string workDir;
        std::string named;
    } cases[] = {
        {missing, dir.path(), missing},
        {plain, dir.path(), plain},
        {dir.path(), dir.path(), dir.path()},
        {dir.assembler(), dir.file("pas de dossier"), dir.file("pas de dossier")},
    };
    for (const auto& c : cases) {
        try {
            LaunchAssembler(c.exe, "x.asc", c.workDir, true, false);
            ADD_FAILURE() << "no failure for " << c.exe << " in " << c.workDir;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.operation(), platform::kOpStartProgram);
            EXPECT_EQ(failure.path(), c.named);
            EXPECT_FALSE(failure.reason().empty());
        }
    }
    EXPECT_FALSE(test::exists(dir.file("fake_asmhc11.log")));
    expectNoChild();
}

TEST(LaunchAssembler, BatchStartReturnsAtOnceWithTheDirectoryAndTheArgument) {
    const ProgramDir dir("mes outils");
    const std::string argument = "/src/mes sources/a&b;$(id) \"x\".asc";

    LaunchAssembler("/nowhere/asmhc11", argument, dir.path(), true, true);
    // Back before the script has finished, with nothing of it left to reap.
    const auto started = dir.waitForLauncherLines(3);
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(started[0], dir.path());
    EXPECT_EQ(started[1], argument);
    EXPECT_EQ(started[2], physical(std::filesystem::current_path().string()));
    expectNoChild();

    const auto finished = dir.waitForLauncherLines(4);
    ASSERT_EQ(finished.size(), 4u);
    EXPECT_EQ(finished[3], "done");
    EXPECT_FALSE(test::exists(dir.file("fake_asmhc11.log")));
    expectNoChild();
}

TEST(LaunchAssembler, BatchStartHandsAwkwardNamesOnUnchanged) {
    const ProgramDir dir;
    dir.launcherSleep(0);
    std::size_t lines = 0;
    for (const char* argument : kAwkwardArguments) {
        LaunchAssembler("", argument, dir.path(), false, true);
        lines += 4;
        const auto log = dir.waitForLauncherLines(lines);
        ASSERT_EQ(log.size(), lines) << argument;
        EXPECT_EQ(log[lines - 3], argument);
    }
    EXPECT_FALSE(test::exists(dir.file("injected")));
    expectNoChild();
}

TEST(LaunchAssembler, MissingLauncherIsReportedBeforeAnythingStarts) {
    const ProgramDir dir;
    platform::removeFileIfPresent(dir.launcher());
    try {
        LaunchAssembler(dir.assembler(), "x.asc", dir.path(), true, true);
        ADD_FAILURE() << "no failure without a launcher";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.operation(), platform::kOpStartLauncher);
        EXPECT_EQ(failure.path(), dir.launcher());
        EXPECT_EQ(failure.reason(), platform::kReasonNoLauncher);
    }
    EXPECT_FALSE(test::exists(dir.file("fake_asmhc11.log")));
    expectNoChild();
}
#endif

} // namespace
} // namespace kavrel::assembly
