// Conversions between the UTF-8 texts of the program and the Windows-1252
// bytes of sources and listings.
#pragma once

#include <string>
#include <string_view>

namespace asmhc11 {

// UTF-8 to Windows-1252; characters without a single-byte form become '?',
// and bytes that are not valid UTF-8 are kept as they are.
std::string utf8ToCp1252(std::string_view utf8);

// Windows-1252 to UTF-8; the five unassigned bytes map to U+0081, U+008D,
// U+008F, U+0090 and U+009D so that every byte survives.
std::string cp1252ToUtf8(std::string_view bytes);

} // namespace asmhc11
