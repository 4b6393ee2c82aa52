#include "assembly/launcher.h"

#include "platform/process.h"

namespace kavrel::assembly {

void LaunchAssembler(const std::string& ExePath, const std::string& Arguments,
                     const std::string& WorkDir, bool Wait, bool Batch, platform::ProcessRun* run) {
    // The batch launcher lives in the working directory; the path and the wait
    // of a direct start mean nothing to it.
    if (Batch)
        platform::startLauncher(WorkDir, Arguments);
    else
        platform::startProgram(ExePath, Arguments, WorkDir, Wait, run);
}

} // namespace kavrel::assembly
