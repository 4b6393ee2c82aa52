#include "platform/native.h"

#include <cstdlib>

namespace kavrel::platform {

std::string inProgramDir(const std::string& dir, const std::string& name) {
    return dir + kSeparator + name;
}

std::string newProgramPath(int n) {
#ifdef _WIN32
    return "c:\\Prog_" + std::to_string(n) + ".asc";
#else
    const char* home = std::getenv("HOME");
    std::string dir = home && *home ? home : "";
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir == "/")
        dir.clear();
    return dir + "/Prog_" + std::to_string(n) + ".asc";
#endif
}

} // namespace kavrel::platform
