// What the benchmark's own process holds: its open descriptors and a field
// of /proc/self/status ("Threads", "VmRSS"), for the runs that must leave
// nothing behind. -1 where the system does not tell.
#pragma once

#include <string>

#ifdef __linux__
#include <filesystem>
#include <fstream>
#endif

namespace kavrel::bench {

#ifdef __linux__
inline long openDescriptors() {
    long count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

inline long status(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    return -1;
}
#else
inline long openDescriptors() {
    return -1;
}
inline long status(const std::string&) {
    return -1;
}
#endif

} // namespace kavrel::bench
