#ifdef _WIN32

#include "common/windows_api.h"

#include <string>
#include <vector>

#include "platform/cmd_line.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/native.h"
#include "platform/process.h"
#include "common/utf8_text.h"

namespace kavrel::platform {

namespace {

void closeBoth(PROCESS_INFORMATION& info) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

} // namespace

void startProgram(const std::string& exePath, const std::string& argument,
                  const std::string& workDir, bool wait, ProcessRun* run) {
    // The application is named apart, so a blank in its folder cannot make the
    // system run C:\Program.exe. In the command line the path is quoted when it
    // holds a blank, or the child's own argv would start inside the path.
    const bool blank = exePath.find_first_of(" \t") != std::string::npos;
    const std::string first = blank ? "\"" + exePath + "\"" : exePath;
    const std::string application = encodeAnsi(exePath);
    std::string commandLine = encodeAnsi(first + " " + argument);
    const std::string directory = encodeAnsi(workDir);

    STARTUPINFOA startup{};
    startup.cb = sizeof(STARTUPINFOA);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS, nullptr, directory.c_str(), &startup, &info)) {
        const DWORD error = GetLastError();
        // A file that is no program gets a reason, not the system's number.
        const bool notProgram =
            error == ERROR_BAD_EXE_FORMAT || error == ERROR_EXE_MACHINE_TYPE_MISMATCH;
        throw Failure(kOpStartProgram, exePath,
                      notProgram ? std::string(kReasonNotExecutable) : lastErrorReason(error));
    }
    if (wait) {
        WaitForSingleObject(info.hProcess, INFINITE);
        // The program printed in its own console: only how it ended is known.
        DWORD code = 0;
        if (run && GetExitCodeProcess(info.hProcess, &code)) {
            run->exited = true;
            run->exitCode = static_cast<int>(code);
        }
    }
    closeBoth(info);
}

std::optional<std::string> setEnvironmentVariable(const std::string& name,
                                                  const std::optional<std::string>& value) {
    // The system's own block, wide: it is what CreateProcess hands a child
    // whose environment is not given, whatever the C runtime's copy says.
    const std::wstring wideName = utf8::toWide(name);
    std::optional<std::string> before;
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0 && GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
        before = std::string(); // set, and empty
    } else if (size > 0) {
        std::wstring current(size, L'\0');
        current.resize(GetEnvironmentVariableW(wideName.c_str(), current.data(), size));
        before = utf8::fromWide(current);
    }
    SetEnvironmentVariableW(wideName.c_str(), value ? utf8::toWide(*value).c_str() : nullptr);
    return before;
}

void startLauncher(const std::string& dir, const std::string& argument) {
    const std::string script = inProgramDir(dir, kLauncherName);
    if (!fileExists(script))
        throw Failure(kOpStartLauncher, script, kReasonNoLauncher);

    std::wstring interpreter(MAX_PATH, L'\0');
    const DWORD length =
        GetEnvironmentVariableW(L"ComSpec", interpreter.data(), static_cast<DWORD>(MAX_PATH));
    if (length == 0 || length >= MAX_PATH) {
        interpreter.resize(GetSystemDirectoryW(interpreter.data(), MAX_PATH));
        interpreter += L"\\cmd.exe";
    } else {
        interpreter.resize(length);
    }

    // The file name reaches the interpreter escaped, so it starts no other command.
    const std::wstring parameters =
        utf8::toWide(interpreterParameters(launcherCommand(dir, kLauncherName, argument)));
    std::wstring commandLine = L"\"" + interpreter + L"\" " + parameters;

    STARTUPINFOW startup{};
    startup.cb = sizeof(STARTUPINFOW);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS | CREATE_NEW_CONSOLE, nullptr, nullptr, &startup,
                        &info)) {
        const DWORD error = GetLastError();
        throw Failure(kOpStartLauncher, script, lastErrorReason(error));
    }
    closeBoth(info);
}

} // namespace kavrel::platform

#endif
