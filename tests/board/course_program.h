// The program the serial tests load into a board, and how they hear it.
#pragma once

#include "board/transport.h"

#include <cstdint>
#include <string>

namespace kavrel::board::test {

// Greets at the loader's speed, then answers each key K with K+1.
inline constexpr const char* kCourse = R"(REGS    EQU $1000
SCSR    EQU $2E
SCDR    EQU $2F
        ORG $0000
DEBUT   LDS #$00FF
        LDX #REGS
        LDY #SALUT
DIRE    LDAA 0,Y
        BEQ ATTENDRE
        BSR EMET
        INY
        BRA DIRE
ATTENDRE BRCLR SCSR,X,#$20,ATTENDRE
        LDAA SCDR,X
        INCA
        BSR EMET
        BRA ATTENDRE
EMET    BRCLR SCSR,X,#$80,EMET
        STAA SCDR,X
        RTS
SALUT   FCC "Carte prete"
        FCB 13,10,0
)";

// What comes within `time`, or until `until` is heard.
inline std::string listenFor(Transport& port, Duration time, const std::string& until) {
    std::string heard;
    std::uint8_t buffer[64];
    const Duration end = port.now() + time;
    for (Duration now = port.now(); now < end && heard.find(until) == std::string::npos;
         now = port.now()) {
        const std::size_t n = port.read(buffer, end - now);
        heard.append(buffer, buffer + n);
    }
    return heard;
}

} // namespace kavrel::board::test
