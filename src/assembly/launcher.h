#pragma once

#include <string>

#include "platform/process.h"

namespace kavrel::assembly {

// Starts the assembler directly (Batch false): `ExePath` with `Arguments`
// handed on unchanged, `WorkDir` as its current directory, waiting for it when
// `Wait` is true. Or starts the launcher script of `WorkDir` (Batch true) on
// `Arguments` and returns at once. A waited direct start fills `run` when
// given (see platform::startProgram). Throws Failure when a start fails.
void LaunchAssembler(const std::string& ExePath, const std::string& Arguments,
                     const std::string& WorkDir, bool Wait, bool Batch,
                     platform::ProcessRun* run = nullptr);

} // namespace kavrel::assembly
