#pragma once
// The table of the main window's commands, one row per command with every
// fact the window needs about it: name, English caption, keys, the menu that
// holds it and where separators go, the command a tool-bar button mirrors,
// the pane a view switch shows, the setting an option switch flips, and its
// flags. The menus themselves (captions and nesting) are a second table.
#include <cstdint>
#include <span>

#include "ActionRegistry.h"

namespace velto {

class TOptions;

// The menus of the menu bar and their submenus.
enum class MenuId : std::uint8_t {
    None,  // on no menu: the tools' keys and the tool-bar buttons
    File, Edit, View, Cursor, Image, Adjust, Filters, Options, Window, Help,
    RecentFiles, DataType, Tint, Swap, Blur, Sharpen, Edges, Emboss, Artistic, Languages,
};

// Flags of a command (and, for SeparatorBefore and ListBelow, of a menu).
enum ActionFlag : unsigned {
    Checkable = 1u << 0,
    // Disabled while no document window is open, enabled when one opens.
    DocumentOnly = 1u << 1,
    // A document-only command whose enabling keeps a rule of its own once a
    // document is open (the image position, the last effect applied).
    OwnEnabling = 1u << 2,
    // The command first drops the floating selection into its image.
    CommitFirst = 1u << 3,
    // A separator comes before the item in its menu or on the tool bar.
    SeparatorBefore = 1u << 4,
    // Menus only: a separator closes the fixed items; the program lists its
    // own entries below it (recent files, languages, open windows).
    ListBelow = 1u << 5,
};

struct ActionSpec {
    ActionGroup group;
    const char* name;
    const char* caption;
    const char* keys;  // portable key-sequence text, several separated by " | "
    MenuId menu = MenuId::None;
    int tag = -1;  // effect number of the one-click image commands, -1 for others
    unsigned flags = 0;
    // Tool-bar buttons: the menu command this one mirrors. A plain mirror runs
    // that command and takes its enabled state; a switch (with a setting)
    // flips the same setting.
    const char* mirrorOf = nullptr;
    int pane = 0;  // view switches: the docking slot of the pane shown (dsTools...)
    // Option switches: the setting flipped; the checked state shows it at
    // every update.
    bool TOptions::*setting = nullptr;

    bool Has(ActionFlag f) const { return (flags & f) != 0; }
};

std::span<const ActionSpec> MainActionTable();
// The row of that command, or nullptr.
const ActionSpec* FindActionSpec(const char* name);
// The view switch of a pane (a docking slot), or nullptr.
const ActionSpec* PaneSwitch(int paneSlot);

// A menu: its caption and where it hangs. A menu's items are the rows of the
// action table that name it, in table order; a submenu takes its place in its
// parent where the first of its rows comes.
struct MenuSpec {
    MenuId id;
    const char* name;     // objectName of the menu
    const char* caption;  // English caption with its mnemonic
    MenuId parent = MenuId::None;  // None: on the menu bar
    unsigned flags = 0;            // SeparatorBefore, ListBelow
};

// The menu-bar menus in menu-bar order, then the submenus.
std::span<const MenuSpec> MenuTable();
const MenuSpec& MenuOf(MenuId id);

}  // namespace velto
