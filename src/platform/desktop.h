#pragma once

#include <optional>

class QColor;

// What the desktop tells about itself: lock keys and system colours.
namespace kavrel::platform {

struct KeyLocks {
    bool numLock = false;
    bool capsLock = false;
};

// The state of Num Lock and Caps Lock, or nothing when the system cannot tell
// (no X display, for instance).
std::optional<KeyLocks> readKeyLocks();

// The system's application-workspace colour, when it has one.
std::optional<QColor> workspaceColour();

} // namespace kavrel::platform
