#include "assembly/launcher.h"

#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

#include "asmhc11/diagnostic_format.h"
#include "common/utf8_text.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/process.h"

namespace kavrel::assembly {

namespace {

namespace fs = std::filesystem;

// A folder of our own in the system's temporary folder, removed with what it
// holds; empty when none could be made.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::error_code error;
        const fs::path base = fs::temp_directory_path(error);
        if (error)
            return;
        std::random_device seed;
        std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
        for (int attempt = 0; attempt < 16; ++attempt) {
            const fs::path folder = base / ("kavrel-" + std::to_string(random() % 1000000000));
            if (fs::create_directory(folder, error) && !error) {
                path_ = folder;
                return;
            }
        }
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty())
            fs::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A variable of our own environment, put back as it was when this goes.
class EnvironmentSetting {
public:
    EnvironmentSetting(std::string name, const std::string& value)
        : name_(std::move(name)), before_(platform::setEnvironmentVariable(name_, value)) {}
    ~EnvironmentSetting() { platform::setEnvironmentVariable(name_, before_); }
    EnvironmentSetting(const EnvironmentSetting&) = delete;
    EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

private:
    std::string name_;
    std::optional<std::string> before_;
};

} // namespace

void startWithOutputCopy(const std::string& ExePath, const std::string& Arguments,
                         const std::string& WorkDir, platform::ProcessRun& run) {
    const TemporaryFolder folder;
    if (folder.path().empty()) {
        // No copy, then: the assembly itself must not suffer for the report.
        platform::startProgram(ExePath, Arguments, WorkDir, true, &run);
        return;
    }
    const std::string copy = utf8::fromPath(folder.path() / "sortie.txt");
    platform::ProcessRun ended;
    {
        const EnvironmentSetting variable(asmhc11::kOutputCopyVariable, copy);
        platform::startProgram(ExePath, Arguments, WorkDir, true, &ended);
    }
    run.exited = ended.exited;
    run.exitCode = ended.exitCode;
    run.signal = ended.signal;
    run.captured = false;
    run.output.clear();
    // An assembler that knows nothing of the copy leaves no file: the report
    // then says the output stayed in the assembler's console.
    if (platform::fileExists(copy)) {
        try {
            run.output = platform::readFile(copy);
            run.captured = true;
        } catch (const Failure&) {
        }
    }
}

void LaunchAssembler(const std::string& ExePath, const std::string& Arguments,
                     const std::string& WorkDir, bool Wait, bool Batch, platform::ProcessRun* run) {
    // The batch launcher lives in the working directory; the path and the wait
    // of a direct start mean nothing to it.
    if (Batch)
        platform::startLauncher(WorkDir, Arguments);
    else if (Wait && run && !platform::kStartCapturesOutput)
        startWithOutputCopy(ExePath, Arguments, WorkDir, *run);
    else
        platform::startProgram(ExePath, Arguments, WorkDir, Wait, run);
}

} // namespace kavrel::assembly
