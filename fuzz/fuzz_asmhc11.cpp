// Any source gives the companion assembler a result or errors it can show:
// never a crash, an exception or a hang (the fuzzer's -timeout catches those).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "asmhc11/assembler.h"
#include "fuzz_check.h"

// Input: one byte choosing the mode, then the source's bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const auto mode = (data[0] & 1) ? asmhc11::Mode::Boo : asmhc11::Mode::S19;
    const std::string_view source(reinterpret_cast<const char*>(data) + 1, size - 1);

    const asmhc11::Result result = asmhc11::assembleSource(source, mode, "fuzz.asc");

    // CR LF, LF and CR each end a line; an error may name the line after the last.
    const auto lines = static_cast<int>(std::count(source.begin(), source.end(), '\n') +
                                        std::count(source.begin(), source.end(), '\r') + 1);
    for (const asmhc11::Diagnostic& error : result.errors) {
        FUZZ_CHECK(error.line >= 1 && error.line <= lines + 1);
        FUZZ_CHECK(!error.message.empty());
        FUZZ_CHECK(std::any_of(error.message.begin(), error.message.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        }));
        FUZZ_CHECK(result.listing.find(error.message) != std::string::npos);
    }
    // Warnings too stand under their line, and every message comes in source order.
    for (const asmhc11::Diagnostic& warning : result.warnings) {
        FUZZ_CHECK(warning.warning && warning.line >= 1 && warning.line <= lines + 1);
        FUZZ_CHECK(result.listing.find(warning.message) != std::string::npos);
    }
    FUZZ_CHECK(result.diagnostics.size() == result.errors.size() + result.warnings.size());
    for (std::size_t i = 1; i < result.diagnostics.size(); ++i)
        FUZZ_CHECK(result.diagnostics[i - 1].line <= result.diagnostics[i].line);
    FUZZ_CHECK(!result.listing.empty());
    if (result.ok()) {
        FUZZ_CHECK(!result.s19.empty());
        FUZZ_CHECK(mode == asmhc11::Mode::S19 || !result.boo.empty());
    } else {
        FUZZ_CHECK(result.s19.empty() && result.boo.empty());
    }
    return 0;
}
