// The program's own shortcuts: "Tovik Control Panel.lnk" on the desktop and
// in the program group, and the uninstall shortcut beside it. The
// preferences and the install wizard make and remove them through here.
#pragma once

#include <string>

class CAppShortcuts {
 public:
  static constexpr const char* kShortcutName = "Tovik Control Panel.lnk";
  static constexpr const char* kUninstallName = "Uninstall Tovik Control Panel.lnk";
  // Shell folder kinds of the two places.
  static const int kDesktop;
  static const int kStartMenu;

  // Creates (or replaces) the program's shortcut in `kind`'s folder; the
  // program group is created with its parents first.
  static bool Create(int kind, const std::string& programPath);
  static bool CreateUninstall(const std::string& programPath);
  static bool Exists(int kind);
  // Deletes the program's shortcut of `kind` through the shell, without
  // asking and without error boxes; true when it is gone.
  static bool Delete(int kind);
};
