#pragma once

#include <span>

#include "app/principal.h"

namespace kavrel::app {

enum class MenuKind { Submenu, Command, CheckCommand, WindowList };

// One row per menu item, in display order: an item at level n+1 belongs to
// the nearest item above it at level n.
struct MenuEntry {
    int level;
    const char* name;
    const char* caption; // UTF-8
    MenuKind kind;
    Principal::Command command;
};

std::span<const MenuEntry> menuTable();

} // namespace kavrel::app
