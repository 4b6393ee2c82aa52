#ifndef _WIN32

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/native.h"
#include "platform/process.h"

namespace kavrel::platform {

namespace {

// What the child reports through the pipe when it cannot become the program.
struct StartError {
    enum Step : int { None, ChangeDir, Exec, Fork } step = None;
    int error = 0;
};

void reportAndExit(int fd, StartError::Step step) {
    const StartError report{step, errno};
    // Nothing more can be done in the child if the parent stopped listening.
    [[maybe_unused]] const auto written = ::write(fd, &report, sizeof report);
    ::_exit(127);
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

void recordStatus(int status, ProcessRun& run) {
    run.exited = WIFEXITED(status);
    run.exitCode = run.exited ? WEXITSTATUS(status) : 0;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// More than any assembler run prints; the rest is read and dropped, so that
// the program is never blocked on a full pipe.
constexpr std::size_t kMaxCaptured = 16u << 20;

// Reads the program's output while it runs, then waits for it. A grandchild
// that keeps the pipe open cannot hold us: once the program has ended, what
// is left in the pipe is read and the rest is not waited for.
void captureAndWait(pid_t child, int fd, ProcessRun& run) {
    char buffer[65536];
    int status = 0;
    bool ended = false;
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, ended ? 0 : 100);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled > 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break; // every writer has gone
            const std::size_t room = kMaxCaptured - std::min(kMaxCaptured, run.output.size());
            run.output.append(buffer, std::min(room, static_cast<std::size_t>(n)));
            continue;
        }
        if (ended)
            break; // nothing left, the program has gone
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            ended = true;
    }
    ::close(fd);
    if (!ended)
        status = waitFor(child);
    recordStatus(status, run);
    run.captured = true;
}

// Starts `path` with `argv`, in `workDir` when given. The exec happens in a
// grandchild when `detach`, in a new session, so that the call returns at once
// and no zombie of it is ever left to us. A failed chdir or exec is reported
// back through a close-on-exec pipe: the parent reads either the report or the
// end of file that a successful exec gives. Returns the child to wait for, or
// -1 when detached.
// With `output` (a pipe's write end, close-on-exec), the program's standard
// output and error go to it.
pid_t start(const std::string& operation, const char* path, char* const argv[], const char* workDir,
            bool detach, int output = -1) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw Failure(operation, path, errnoReason(errno));

    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw Failure(operation, path, errnoReason(error));
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on: the parent may have threads.
        ::close(fds[0]);
        if (output >= 0 && (::dup2(output, STDOUT_FILENO) < 0 || ::dup2(output, STDERR_FILENO) < 0))
            reportAndExit(fds[1], StartError::Exec);
        if (detach) {
            ::setsid();
            const pid_t grandchild = ::fork();
            if (grandchild < 0)
                reportAndExit(fds[1], StartError::Fork);
            if (grandchild > 0)
                ::_exit(0);
        }
        if (workDir && ::chdir(workDir) != 0)
            reportAndExit(fds[1], StartError::ChangeDir);
        ::execv(path, argv);
        reportAndExit(fds[1], StartError::Exec);
    }

    ::close(fds[1]);
    StartError report;
    std::size_t got = 0;
    while (got < sizeof report) {
        const ssize_t n =
            ::read(fds[0], reinterpret_cast<char*>(&report) + got, sizeof report - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fds[0]);

    if (detach || got == sizeof report)
        waitFor(child);
    if (got == sizeof report) {
        switch (report.step) {
        case StartError::ChangeDir:
            throw Failure(operation, workDir,
                          report.error == ENOENT ? kReasonNoFolder : errnoReason(report.error));
        case StartError::Exec:
            throw Failure(operation, path,
                          report.error == ENOEXEC ? kReasonNotExecutable
                                                  : errnoReason(report.error));
        default:
            throw Failure(operation, path, errnoReason(report.error));
        }
    }
    return detach ? -1 : child;
}

} // namespace

void startProgram(const std::string& exePath, const std::string& argument,
                  const std::string& workDir, bool wait, ProcessRun* run) {
    // The argument text stays one argument: blanks, quotes and all.
    std::string arg0 = exePath;
    std::string arg1 = argument;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    if (wait && run) {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0)
            throw Failure(kOpStartProgram, exePath, errnoReason(errno));
        pid_t child = -1;
        try {
            child = start(kOpStartProgram, exePath.c_str(), argv, workDir.c_str(), false, pipe[1]);
        } catch (...) {
            ::close(pipe[0]);
            ::close(pipe[1]);
            throw;
        }
        ::close(pipe[1]);
        captureAndWait(child, pipe[0], *run);
        return;
    }
    // A start that is not waited for is detached, so that it leaves no zombie.
    const pid_t child = start(kOpStartProgram, exePath.c_str(), argv, workDir.c_str(), !wait);
    if (wait) {
        const int status = waitFor(child);
        if (run)
            recordStatus(status, *run);
    }
}

std::optional<std::string> setEnvironmentVariable(const std::string& name,
                                                  const std::optional<std::string>& value) {
    std::optional<std::string> before;
    if (const char* current = ::getenv(name.c_str()))
        before = current;
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
    return before;
}

void startLauncher(const std::string& dir, const std::string& argument) {
    const std::string script = inProgramDir(dir, kLauncherName);
    if (!fileExists(script))
        throw Failure(kOpStartLauncher, script, kReasonNoLauncher);
    std::string shell = "/bin/sh";
    std::string arg1 = script;
    std::string arg2 = dir;
    std::string arg3 = argument;
    char* argv[] = {shell.data(), arg1.data(), arg2.data(), arg3.data(), nullptr};
    start(kOpStartLauncher, shell.c_str(), argv, nullptr, true);
}

} // namespace kavrel::platform

#endif
