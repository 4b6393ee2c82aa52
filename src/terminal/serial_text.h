#pragma once

// Between the bytes of a serial line and the text a terminal shows or sends:
// Windows-1252 on the wire whatever the system, every byte shown (control
// characters as visible symbols), the line end chosen for Enter. No Qt.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel::terminal {

// What the Enter key sends.
enum class LineEnd { Cr, CrLf };
std::string_view lineEndBytes(LineEnd end);

// A byte that stands for a character of Windows-1252 that can be printed
// (not a C0 or C1 control, not one of the five unassigned bytes, not DEL).
bool isPrintable(std::uint8_t byte);

// The UTF-8 of a printable byte in Windows-1252; of any other byte, its
// visible form: C0 controls and DEL as their control pictures (U+2400...),
// the five unassigned bytes as their value in hexadecimal between angles.
std::string visibleByte(std::uint8_t byte);

// The received stream as lines of text ('\n' between them). A line ends at
// LF or at CR LF; a lone CR and every other control is shown. A CR at the end
// of what came so far is held back until the next byte tells which it was.
// A line longer than maxLineLength characters is broken there, so that a
// program that never sends a line end cannot build one endless line.
class ReceivedText {
public:
    explicit ReceivedText(std::size_t maxLineLength = 1024) : maxLineLength_(maxLineLength) {}
    std::string feed(std::string_view bytes);
    // Whether a CR is held back.
    bool holdsCr() const { return heldCr_; }
    void reset();

private:
    void put(std::string& out, std::uint8_t byte);
    std::size_t maxLineLength_;
    std::size_t column_ = 0;
    bool heldCr_ = false;
};

// Text typed or pasted (UTF-8) as the bytes sent: each line break (LF, CR LF,
// CR, U+2028, U+2029) becomes the Enter's line end; a character that
// Windows-1252 lacks becomes '?'. Malformed UTF-8 gives one '?' a byte.
std::string typedBytes(std::string_view utf8, LineEnd end);

// A text file as it is sent: its bytes unchanged (it is Windows-1252 text
// already) except its line ends, CR LF, LF or CR, sent as Enter would send
// them. A DOS end-of-file mark (Ctrl+Z) at the very end is not sent.
std::string fileBytesToSend(std::string_view bytes, LineEnd end);

// Ctrl+letter (A to Z, either case) and the few punctuation keys terminals
// map the same way (Ctrl+[ \ ] ^ _): the control code sent.
std::optional<std::uint8_t> controlCode(char key);

} // namespace kavrel::terminal
