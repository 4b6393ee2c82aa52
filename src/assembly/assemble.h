#pragma once

#include <string>

#include "platform/native.h"
#include "platform/process.h"

namespace kavrel::assembly {

// One assembly job. `Target` "S19" runs the program directory's assembler on
// the source where it lies (through the launcher when `batchMode`); "BOO"
// stages the source as Test.asc in its folder, runs the assembler directly on
// "<Folder>Test;b", and copies Test.BOO, Test.LST, Test.S19 back under the
// source's base name. Any other target does nothing. Throws Failure at the
// first step that fails; what earlier steps wrote stays.
// What a direct start of the assembler left for the report: filled as soon as
// the assembler has ended, so that it is there even when a later step fails.
struct AssemblyRun {
    bool ran = false;
    std::string command;    // the program and its argument, as started
    std::string stagedPath; // BOO: the staged copy the assembler read
    platform::ProcessRun process;
};

void Assemble(const std::string& SourcePath, const std::string& Target,
              const std::string& programDir, bool batchMode, char separator = platform::kSeparator,
              AssemblyRun* run = nullptr);

} // namespace kavrel::assembly
