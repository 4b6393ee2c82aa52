#pragma once

#include <string>

#include "platform/native.h"

namespace kavrel::assembly {

struct PathParts {
    std::string BaseName; // after the last separator, less its last 4 characters
    std::string Folder;   // up to and including the last separator; may be empty
};

// Throws Failure when the name after the last separator has fewer than 4
// characters, or when it is too long for the 16-bit count (more than 32,770).
// Lengths count characters of the UTF-8 text, not bytes.
PathParts SplitPath(const std::string& FullPath, char separator = platform::kSeparator);

} // namespace kavrel::assembly
