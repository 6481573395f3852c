#pragma once
// Every menu item of the main window, declared once: its component name
// (also the action's objectName and the settings key of its check mark),
// where it sits, its kind, radio group, design check mark and shortcut.
// One loop makes the actions from this table; captions come from the
// translation tables by name, saved checks from the settings by name.

#include <vector>

namespace kp {

enum class TMenuKind { Submenu, Command, Toggle, Radio, Separator };

struct TMenuDecl {
  const char *Name;   // component name; "-" for a separator
  const char *Parent; // the submenu's name; "" for the menu's top level
  TMenuKind Kind;
  const char *Group = "";    // radio group (items of one group share a submenu)
  bool DesignCheck = false;  // check mark of the window layout
  const char *Shortcut = ""; // QKeySequence portable text
  bool Visible = true;
};

// The main menu bar, depth-first in display order (a submenu before its items).
const std::vector<TMenuDecl> &MainMenuTable();
// The recording list's popup menu, in order (the toolbar over the list
// follows it button by button).
const std::vector<TMenuDecl> &ListPopupTable();

} // namespace kp
