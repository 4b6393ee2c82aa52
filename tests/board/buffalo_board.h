// BUFFALO, assembled from the test data by asmhc11's library, in the ROM of
// the evaluation board's 68HC11E9 (expanded mode, OC5 to XIRQ) behind the
// in-memory line, and small programs to load through it. No test framework:
// the benchmarks use it too.
#pragma once

#include "simulated_board.h"

#include "asmhc11/assembler.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kavrel::board::test {

// Says BONJOUR on the SCI, then waits; padded with data to `size` bytes.
// Its S19 text (empty should it not assemble).
inline std::string greeter(std::uint16_t org, std::size_t size = 0) {
    std::ostringstream source;
    source << "        ORG $" << std::hex << org << std::dec << "\n"
           << "DEBUT   LDX #TEXTE\n"
              "ENVOI   LDAA 0,X\n"
              "        BEQ FIN\n"
              "ATTEND  LDAB $102E\n"
              "        BPL ATTEND\n"
              "        STAA $102F\n"
              "        INX\n"
              "        BRA ENVOI\n"
              "FIN     BRA FIN\n"
              "TEXTE   FCC \"BONJOUR\"\n"
              "        FCB 13,10,0\n";
    constexpr std::size_t kCode = 30;
    for (std::size_t k = kCode; k < size; ++k)
        source << "        FCB " << (k * 37 + 11) % 256 << "\n";
    source << "        END DEBUT\n";
    return asmhc11::assembleSource(source.str(), asmhc11::Mode::S19).s19;
}

// BUFFALO's bytes, assembled once; empty where the test data is absent.
inline const std::vector<asmhc11::Segment>& buffaloRom() {
    static const std::vector<asmhc11::Segment> rom = [] {
        const std::filesystem::path source =
            std::filesystem::path(KAVREL_TESTDATA_DIR) / "buffalo-34.asm";
        std::ifstream in(source, std::ios::binary);
        if (!in)
            return std::vector<asmhc11::Segment>{};
        std::ostringstream text;
        text << in.rdbuf();
        const asmhc11::Result result = asmhc11::assembleSource(text.str(), asmhc11::Mode::S19);
        return result.ok() ? result.segments() : std::vector<asmhc11::Segment>{};
    }();
    return rom;
}

// The evaluation board: the E9 in expanded mode with BUFFALO in its ROM.
inline std::unique_ptr<SimulatedBoard> evaluationBoard() {
    return std::make_unique<SimulatedBoard>(
        sim11::Chip::E9, 8'000'000, sim11::Mode::Expanded, [](sim11::Machine& m) {
            m.setOc5ToXirq(true);
            for (const asmhc11::Segment& segment : buffaloRom())
                for (std::size_t k = 0; k < segment.bytes.size(); ++k)
                    m.load(static_cast<std::uint16_t>(segment.address + k), segment.bytes[k]);
            m.reset();
        });
}

} // namespace kavrel::board::test
