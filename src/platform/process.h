#pragma once

#include <optional>
#include <string>

// Process starts. On POSIX the argument text is passed as one argv entry and no
// shell ever parses it; on Windows the command lines are built as the launcher
// requires (see assembly/launcher.h).
namespace kavrel::platform {

// Operations and reasons named in the failures of a start.
inline constexpr const char* kOpStartProgram = "Démarrage du programme";
inline constexpr const char* kOpStartLauncher = "Démarrage du lanceur";
inline constexpr const char* kReasonNoLauncher = "Le lanceur est introuvable.";
inline constexpr const char* kReasonNotExecutable = "Le fichier n'est pas un programme exécutable.";

// How a waited program ended, and what it printed where that can be read.
struct ProcessRun {
    bool exited = false; // ended by itself, with exitCode
    int exitCode = 0;
    int signal = 0;        // POSIX: the signal that ended it, when not exited
    bool captured = false; // output holds its standard output and error
    std::string output;
};

// Starts `exePath` with the single argument `argument` (POSIX) or the command
// line `exePath + " " + argument` (Windows), with `workDir` as its current
// directory, inheriting environment and standard streams. Waits for it to end
// when `wait` is true, and then fills `run` when given: on POSIX the program's
// standard output and error then go to a pipe, read while it runs (so a long
// output cannot block it) and kept in `run->output`; on Windows the program
// keeps its own console and only its exit code is read (kStartCapturesOutput).
// Throws Failure when it cannot be started.
void startProgram(const std::string& exePath, const std::string& argument,
                  const std::string& workDir, bool wait, ProcessRun* run = nullptr);

#ifdef _WIN32
inline constexpr bool kStartCapturesOutput = false;
#else
inline constexpr bool kStartCapturesOutput = true;
#endif

// Sets `name` (UTF-8) in the program's own environment, which the programs it
// starts inherit, or removes it when `value` is empty; returns what it was.
std::optional<std::string> setEnvironmentVariable(const std::string& name,
                                                  const std::optional<std::string>& value);

// Starts the batch launcher of `dir` on the argument text and returns at once,
// leaving no zombie behind. POSIX: /bin/sh <dir>/LANCEUR.sh <dir> <argument>.
// Windows: <dir>\LANCEUR.BAT "<dir>" <argument>, through the command
// interpreter, window shown normal, with `argument` escaped for it.
// Throws Failure when it cannot be started.
void startLauncher(const std::string& dir, const std::string& argument);

} // namespace kavrel::platform
