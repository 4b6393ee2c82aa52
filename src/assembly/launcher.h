#pragma once

#include <string>

#include "platform/process.h"

namespace kavrel::assembly {

// Starts the assembler directly (Batch false): `ExePath` with `Arguments`
// handed on unchanged, `WorkDir` as its current directory, waiting for it when
// `Wait` is true. Or starts the launcher script of `WorkDir` (Batch true) on
// `Arguments` and returns at once. A waited direct start fills `run` when
// given (see platform::startProgram); where the system does not hand us what
// the assembler prints, through startWithOutputCopy. Throws Failure when a
// start fails.
void LaunchAssembler(const std::string& ExePath, const std::string& Arguments,
                     const std::string& WorkDir, bool Wait, bool Batch,
                     platform::ProcessRun* run = nullptr);

// A waited direct start whose output comes back through a file: asmhc11
// writes a copy of what it prints into the file that its variable
// (asmhc11::kOutputCopyVariable) names, set in our own environment for the
// start and put back as it was after it. The file lies in a folder of its own
// in the system's temporary folder, removed once read. `run` gets how the
// program ended and, when the copy is there, its bytes (`captured`). The start
// itself is the same as any other: nothing is added to the child's command
// line or handles.
void startWithOutputCopy(const std::string& ExePath, const std::string& Arguments,
                         const std::string& WorkDir, platform::ProcessRun& run);

} // namespace kavrel::assembly
