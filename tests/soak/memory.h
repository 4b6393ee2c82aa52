#pragma once

#include <cstddef>
#include <cstdio>

#include <malloc.h>
#include <unistd.h>

namespace kavrel::test {

// Resident memory of this process, in bytes, after the allocator has handed
// back to the system what it could: what `top` would show as RES.
inline std::size_t residentBytesAfterTrim() {
    ::malloc_trim(0);
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    unsigned long size = 0;
    unsigned long resident = 0;
    const int read = std::fscanf(statm, "%lu %lu", &size, &resident);
    std::fclose(statm);
    if (read != 2)
        return 0;
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

} // namespace kavrel::test
