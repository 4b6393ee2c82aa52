#include "assembly/assemble.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "assembly/assembly_texts.h"
#include "assembly/launcher.h"
#include "assembly/split_path.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "common/utf8_text.h"

namespace kavrel::assembly {

namespace {

// The assembler's outputs for "Test;b", in the order they are copied back.
constexpr std::array<const char*, 3> kBooExtensions = {".BOO", ".LST", ".S19"};
constexpr const char* kStagedName = "Test";

std::filesystem::path fsPath(const std::string& text) {
    return utf8::toPath(text);
}

// True when both name one existing file (whatever the spelling); never throws.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(fsPath(a), fsPath(b), error) && !error;
}

// A waited direct start, recorded in `run` when given.
void runDirect(const std::string& assembler, const std::string& argument,
               const std::string& programDir, AssemblyRun* run) {
    if (!run) {
        LaunchAssembler(assembler, argument, programDir, true, false);
        return;
    }
    run->command = assembler + " " + argument;
    LaunchAssembler(assembler, argument, programDir, true, false, &run->process);
    run->ran = true;
}

void assembleBoo(const std::string& SourcePath, const std::string& assembler,
                 const std::string& programDir, char separator, AssemblyRun* run) {
    const PathParts parts = SplitPath(SourcePath, separator);
    const std::string staged = parts.Folder + kStagedName;

    // Clearing the stale outputs below would delete a source that bears one of
    // their names, and the assembler would overwrite it anyway.
    for (const char* extension : kBooExtensions) {
        if (sameFile(SourcePath, staged + extension))
            throw Failure(kOpAssembleBoo, SourcePath, kReasonSourceIsOutput);
    }

    platform::copyFile(SourcePath, staged + ".asc");
    // Outputs left by an earlier run must never pass for this run's.
    for (const char* extension : kBooExtensions)
        platform::removeFileIfPresent(staged + extension);

    if (run)
        run->stagedPath = staged + ".asc";
    runDirect(assembler, staged + ";b", programDir, run);

    for (const char* extension : kBooExtensions) {
        const std::string output = staged + extension;
        if (!platform::fileExists(output))
            throw Failure(kOpAssembleBoo, output, kReasonOutputMissing);
        platform::copyFile(output, parts.Folder + parts.BaseName + extension);
    }
}

} // namespace

void Assemble(const std::string& SourcePath, const std::string& Target,
              const std::string& programDir, bool batchMode, char separator, AssemblyRun* run) {
    const std::string assembler = platform::inProgramDir(programDir, platform::kAssemblerName);
    if (Target == "S19" && batchMode)
        LaunchAssembler(assembler, SourcePath, programDir, true, true);
    else if (Target == "S19")
        runDirect(assembler, SourcePath, programDir, run);
    else if (Target == "BOO")
        assembleBoo(SourcePath, assembler, programDir, separator, run);
}

} // namespace kavrel::assembly
