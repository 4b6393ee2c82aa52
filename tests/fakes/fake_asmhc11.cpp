// A stand-in for the assembler, started by the tests as a real process.
//
// Each run appends one record to fake_asmhc11.log, beside its own executable:
//   run
//   start <ms>                 steady clock, when it began
//   cwd <n> <text>             working directory; <n> is the length in bytes
//   argc <count>
//   arg <n> <text>             one line per argv entry, argv[0] first
//   cmdline <n> <text>         Windows only: GetCommandLineA()
//   env <name> <n> <text>      for each "env <name>" of the control file
//   end <ms>                   when it finished, after sleeping and writing
// The record is written in one piece at the end of the run.
//
// It reads fake_asmhc11.ctl beside itself, if present, one order a line:
//   sleep <ms>        wait before writing the outputs
//   exit <code>       exit status
//   write <ext>...    outputs to write (among BOO LST S19), instead of the default
//   skip <ext>        do not write that output
//   env <name>        log that environment variable
//   print <bytes>     write that many bytes of text on standard output (lines
//                     of 63 characters), half of them first on standard error
//   say <text>        write the rest of the line on standard output
//   nocopy            ignore the copy variable, as an older assembler would
// What it prints (both streams) is also written to the file that the
// assembler's copy variable names, when set, as the real assembler does.
// argv[1] "<path>;b" writes <path>.BOO, .LST, .S19 by default; any other
// argv[1] writes S19 and LST beside it (its extension replaced). Each output
// holds "<EXT>" and a line feed, then the bytes of <path>.asc (or argv[1]).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "asmhc11/diagnostic_format.h"

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace {

std::string ownDirectory(const char* argv0) {
    std::string self;
#ifdef _WIN32
    (void)argv0;
    char buffer[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    self.assign(buffer, n);
#else
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    self = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0);
#endif
    const auto cut = self.find_last_of("/\\");
    return cut == std::string::npos ? std::string(".") : self.substr(0, cut);
}

std::string currentDirectory() {
    char buffer[4096];
#ifdef _WIN32
    return _getcwd(buffer, sizeof buffer) ? buffer : "";
#else
    return getcwd(buffer, sizeof buffer) ? buffer : "";
#endif
}

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string counted(const std::string& text) {
    return std::to_string(text.size()) + " " + text;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    for (const auto& x : list)
        if (x == item)
            return true;
    return false;
}

// The copy of what was printed, where the variable asks for it.
void writeCopy(long long printBytes, const std::string& said) {
#ifdef _WIN32
    wchar_t name[64];
    MultiByteToWideChar(CP_UTF8, 0, asmhc11::kOutputCopyVariable, -1, name, 64);
    wchar_t path[4096];
    const DWORD n = GetEnvironmentVariableW(name, path, 4096);
    if (n == 0 || n >= 4096)
        return;
    std::FILE* copy = _wfopen(path, L"wb");
#else
    const char* path = std::getenv(asmhc11::kOutputCopyVariable);
    if (!path || !*path)
        return;
    std::FILE* copy = std::fopen(path, "wb");
#endif
    if (!copy)
        return;
    const std::string line = std::string(63, 'x') + "\n";
    for (long long n = 0; n < printBytes; n += 64)
        std::fwrite(line.data(), 1, line.size(), copy);
    std::fwrite(said.data(), 1, said.size(), copy);
    std::fclose(copy);
}

} // namespace

int main(int argc, char** argv) {
    const long long start = nowMs();
    const std::string dir = ownDirectory(argv[0]);

    int exitCode = 0;
    long long sleepMs = 0;
    std::vector<std::string> outputs;
    std::vector<std::string> skipped;
    std::vector<std::string> envNames;
    bool outputsGiven = false;
    long long printBytes = 0;
    bool copy = true;
    std::string said;
    std::istringstream control(readAll(dir + "/fake_asmhc11.ctl"));
    for (std::string line; std::getline(control, line);) {
        std::istringstream words(line);
        std::string order;
        words >> order;
        if (order == "sleep")
            words >> sleepMs;
        else if (order == "exit")
            words >> exitCode;
        else if (order == "write") {
            outputsGiven = true;
            for (std::string ext; words >> ext;)
                outputs.push_back(ext);
        } else if (order == "skip") {
            for (std::string ext; words >> ext;)
                skipped.push_back(ext);
        } else if (order == "print") {
            words >> printBytes;
        } else if (order == "say") {
            std::string rest;
            std::getline(words, rest);
            said += rest.substr(rest.empty() ? 0 : 1) + "\n";
        } else if (order == "nocopy") {
            copy = false;
        } else if (order == "env") {
            for (std::string name; words >> name;)
                envNames.push_back(name);
        }
    }

    if (sleepMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));

    // Far more than a pipe holds: a reader that waits for the end first blocks.
    const std::string line = std::string(63, 'x') + "\n";
    for (long long n = 0; n < printBytes; n += 64)
        std::fwrite(line.data(), 1, line.size(), n < printBytes / 2 ? stderr : stdout);
    std::fwrite(said.data(), 1, said.size(), stdout);
    std::fflush(stdout);
    if (copy)
        writeCopy(printBytes, said);

    if (argc > 1) {
        const std::string arg = argv[1];
        std::string base;
        std::string source;
        const bool bootForm = arg.size() >= 2 && arg.compare(arg.size() - 2, 2, ";b") == 0;
        if (bootForm) {
            base = arg.substr(0, arg.size() - 2);
            source = base + ".asc";
            if (!outputsGiven)
                outputs = {"BOO", "LST", "S19"};
        } else {
            const auto dot = arg.find_last_of('.');
            const auto sep = arg.find_last_of("/\\");
            base = dot != std::string::npos && (sep == std::string::npos || dot > sep)
                       ? arg.substr(0, dot)
                       : arg;
            source = arg;
            if (!outputsGiven)
                outputs = {"S19", "LST"};
        }
        const std::string body = readAll(source);
        for (const auto& ext : outputs) {
            if (contains(skipped, ext))
                continue;
            std::ofstream out(base + "." + ext, std::ios::binary);
            out << ext << '\n' << body;
        }
    }

    std::string record = "run\nstart " + std::to_string(start) + "\n";
    record += "cwd " + counted(currentDirectory()) + "\n";
    record += "argc " + std::to_string(argc) + "\n";
    for (int i = 0; i < argc; ++i)
        record += "arg " + counted(argv[i]) + "\n";
#ifdef _WIN32
    record += "cmdline " + counted(GetCommandLineA()) + "\n";
#endif
    for (const auto& name : envNames) {
        const char* value = std::getenv(name.c_str());
        record += "env " + name + " " + counted(value ? value : "") + "\n";
    }
    record += "end " + std::to_string(nowMs()) + "\n";
    if (std::FILE* log = std::fopen((dir + "/fake_asmhc11.log").c_str(), "ab")) {
        std::fwrite(record.data(), 1, record.size(), log);
        std::fclose(log);
    }
    return exitCode;
}
