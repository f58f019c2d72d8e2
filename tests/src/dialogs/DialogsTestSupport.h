// Shared pieces of the dialog tests: a settings file of the test's own (in
// the host's check folder when the run has one), the program the shortcuts
// point to, and the shortcut files and Run value as they are on disk.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <string>

#include "AppSettings.h"
#include "AppShortcuts.h"
#include "ShellTestSupport.h"
#include "StringLoader.h"
#include "VersionInfo.h"
#include "WinExplorer.h"

namespace dialogtest {

// The folder the host reads after the run, else the temporary folder.
inline std::string OutFolder() {
  const std::string out = shelltest::Env("TOVIK_SHELL_OUT");
  if (!out.empty()) return out;
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "tovik_dialogs";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// Makes `name` in the out folder the settings file, empty.
inline std::string FreshSettings(const std::string& name) {
  const std::string path = OutFolder() + "\\" + name;
  DeleteFileA(path.c_str());
  CAppSettings::SetSettingsPath(path);
  return path;
}

inline std::string Program() { return CVersionInfo::ProgramPath(); }

inline std::string ShortcutPath(int kind, const char* name = CAppShortcuts::kShortcutName) {
  return CWinExplorer::GetSpecialFolder(kind) + "\\" + name;
}

inline const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// No shortcut of the program and no start-up entry of any kind, whatever an
// earlier run (of another Windows kind) left in the prefix.
inline void RemoveShortcutsAndEntries() {
  DeleteFileA(ShortcutPath(CAppShortcuts::kDesktop).c_str());
  DeleteFileA(ShortcutPath(CAppShortcuts::kStartMenu).c_str());
  DeleteFileA(ShortcutPath(CAppShortcuts::kStartMenu, CAppShortcuts::kUninstallName).c_str());
  DeleteFileA(ShortcutPath(CSIDL_STARTUP).c_str());
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "Tovik");
    RegCloseKey(key);
  }
}

// The Run value "Tovik", or "<absent>".
inline std::string RunValue() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return "<absent>";
  char data[512] = "";
  DWORD size = sizeof data;
  DWORD type = 0;
  const LONG status =
      RegQueryValueExA(key, "Tovik", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : "<absent>";
}

// Where the start-up entry is for the kind of this run: the Run value on ME,
// 2000 and XP, a Startup-folder shortcut on 98 SE.
inline bool StartupEntryPresent() {
  const int kind = shelltest::ExpectedKind();
  if (kind == 4) return shelltest::Exists(ShortcutPath(CSIDL_STARTUP));
  return RunValue() == Program();
}

inline std::string Text(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

}  // namespace dialogtest
