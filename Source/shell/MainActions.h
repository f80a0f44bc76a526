#pragma once
// The table of the main window's commands: name, English caption, keys (in
// the portable key-sequence text, several separated by " | "), effect tag and
// whether the command is a switch.
#include <span>

#include "ActionRegistry.h"

namespace velto {

struct ActionSpec {
    ActionGroup group;
    const char* name;
    const char* caption;
    const char* keys;
    int tag;  // effect number of the one-click image commands, -1 for others
    bool checkable;
};

std::span<const ActionSpec> MainActionTable();

// The menu bar: each menu's caption and items, by action name; "-" is a
// separator and ">name" a submenu (listed in MenuTable under that name).
struct MenuSpec {
    const char* name;     // objectName of the menu
    const char* caption;  // English caption with its mnemonic
    const char* items;    // space-separated entries
};

// The top-level menus in menu-bar order, then the submenus.
std::span<const MenuSpec> MenuTable();
inline constexpr int kTopLevelMenus = 10;

// The mirrored commands of the tool bar, in order.
std::span<const char* const> ToolbarMirrors();

}  // namespace velto
