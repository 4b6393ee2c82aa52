// The images made from an assembled program: S-records and the bootstrap
// download image.
#pragma once

#include "asmhc11/assembler.h"

#include <cstdint>
#include <string>

namespace asmhc11 {

// S1 records of at most 32 bytes in address order, then S9 with the start address.
std::string makeS19(const Result& result);

// $FF, then memory from $0000 to the last byte used (gaps as $00), at least 256 bytes of it.
std::string makeBootImage(const Result& result);

} // namespace asmhc11
