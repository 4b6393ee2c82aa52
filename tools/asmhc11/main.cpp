// asmhc11: reads its one argument text, assembles, writes the outputs.
#include "asmhc11/cli.h"

#include <iostream>

#ifdef _WIN32
#include "common/utf8_text.h"

namespace {

std::string toUtf8(const wchar_t* text, int length) {
    return kavrel::utf8::fromWide(length < 0
                                      ? std::wstring_view(text)
                                      : std::wstring_view(text, static_cast<std::size_t>(length)));
}

// Kavrel passes the path unquoted, blanks included: take the raw command line.
std::string argumentText() {
    const wchar_t* commandLine = GetCommandLineW();
    wchar_t module[MAX_PATH * 4];
    const DWORD moduleLength = GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
    return asmhc11::argumentsFromWindowsCommandLine(toUtf8(commandLine, -1).c_str(),
                                                    toUtf8(module, static_cast<int>(moduleLength)));
}

} // namespace

int main() {
    // UTF-8 for our French messages, then the console's own page back for
    // whatever the batch file runs next.
    const UINT previous = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    const int status =
        asmhc11::runCommandLine(argumentText(), std::cout, asmhc11::outputCopyFromEnvironment());
    std::cout.flush();
    if (previous != 0)
        SetConsoleOutputCP(previous);
    return status;
}

#else

int main(int argc, char** argv) {
    return asmhc11::runCommandLine(asmhc11::joinArguments(argc, argv), std::cout,
                                   asmhc11::outputCopyFromEnvironment());
}

#endif
