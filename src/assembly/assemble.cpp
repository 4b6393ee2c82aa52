#include "assembly/assemble.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "assembly/assembly_texts.h"
#include "assembly/launcher.h"
#include "assembly/split_path.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/utf8_text.h"

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

void assembleBoo(const std::string& SourcePath, const std::string& assembler,
                 const std::string& programDir, char separator) {
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

    LaunchAssembler(assembler, staged + ";b", programDir, true, false);

    for (const char* extension : kBooExtensions) {
        const std::string output = staged + extension;
        if (!platform::fileExists(output))
            throw Failure(kOpAssembleBoo, output, kReasonOutputMissing);
        platform::copyFile(output, parts.Folder + parts.BaseName + extension);
    }
}

} // namespace

void Assemble(const std::string& SourcePath, const std::string& Target,
              const std::string& programDir, bool batchMode, char separator) {
    const std::string assembler = platform::inProgramDir(programDir, platform::kAssemblerName);
    if (Target == "S19")
        LaunchAssembler(assembler, SourcePath, programDir, true, batchMode);
    else if (Target == "BOO")
        assembleBoo(SourcePath, assembler, programDir, separator);
}

} // namespace kavrel::assembly
