#pragma once

#include <span>

namespace kavrel {
class Workspace;
}

namespace kavrel::app {

enum class MenuKind { Submenu, Command, CheckCommand, WindowList };

// A menu command: a free function of the subsystem that owns it.
using Command = void (*)(Workspace&);

// With no editor open, a guarded command shows the no-program-open box and
// does nothing else.
enum class Guard { None, ProgramOpen };

// What a row shows besides its caption, for rows that act on the active
// window (the simulation's commands): greyed out without one, its check.
struct ItemState {
    bool enabled = true;
    bool checked = false;
};
using StateOf = ItemState (*)(Workspace&);

// One row per menu item, in display order: an item at level n+1 belongs to
// the nearest item above it at level n.
struct MenuEntry {
    int level;
    const char* name;
    const char* caption; // UTF-8
    MenuKind kind;
    Command command = nullptr;
    Guard guard = Guard::None;
    StateOf state = nullptr; // always enabled when null
};

std::span<const MenuEntry> menuTable();

} // namespace kavrel::app
