// The shell side of the program: special folders, shortcut files, the
// start-up entry, the Send-To shortcuts of a drive and a drive's icon in
// Explorer. Every operation reports failure by its result only.
#pragma once

#include <string>

class CWinExplorer {
 public:
  // The program's own folder kinds beside the shell's CSIDL numbers.
  static constexpr int kProgramGroup = 257;  // Start menu programs + "\Ortavel"
  static constexpr int kQuickLaunch = 4096;  // application data + Quick Launch

  // The folder of `kind` (not created); empty for a kind the program does not use.
  static std::string GetSpecialFolder(int kind);

  // Creates `folder` with every missing parent; true when it exists afterwards.
  static bool CreateFolderWithParents(const std::string& folder);

  // Writes GetSpecialFolder(kind) + "\" + name as a shell link to `target`.
  static bool CreateShortcut(int kind, const std::string& target, const std::string& name,
                             const std::string& description, const std::string& arguments,
                             int iconIndex);
  static bool DeleteShortcut(int kind, const std::string& name);
  // `name` carries its leading "\".
  static bool ShortcutExists(int kind, const std::string& name);

  // Registry route (2000, XP, ME) answers true; the Startup-folder shortcut of
  // 98 SE and the systems without an entry answer false.
  static bool AddStartupEntry(const std::string& programPath);
  static bool RemoveStartupEntry();

  static bool SetDriveIcon(char letter, const std::string& file, unsigned index);

  static bool CreateSendToShortcut(char letter);
  static bool DeleteSendToShortcut(char letter);
  // The Send-To shortcut's file name of `letter`.
  static std::string SendToShortcutName(char letter);
};
