#pragma once

#include <string>

namespace kavrel::assembly {

// Starts the assembler directly (Batch false): `ExePath` with `Arguments`
// handed on unchanged, `WorkDir` as its current directory, waiting for it when
// `Wait` is true. Or starts the launcher script of `WorkDir` (Batch true) on
// `Arguments` and returns at once. Throws Failure when a start fails.
void LaunchAssembler(const std::string& ExePath, const std::string& Arguments,
                     const std::string& WorkDir, bool Wait, bool Batch);

} // namespace kavrel::assembly
