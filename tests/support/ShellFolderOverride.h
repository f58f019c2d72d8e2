// The user's shell folder `value` (a value of "User Shell Folders":
// "Personal", "Favorites") points to `folder` while this lives: a Wine
// prefix's own My Documents is the whole Unix home.
#pragma once

#include <windows.h>

#include <string>

namespace shelltest {

class ShellFolderOverride {
 public:
  ShellFolderOverride(const char* value, const std::string& folder) : value_(value) {
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                    nullptr);
    char old[MAX_PATH] = "";
    DWORD size = sizeof(old);
    DWORD type = 0;
    had_ = RegQueryValueExA(key_, value, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
           ERROR_SUCCESS;
    old_ = old;
    RegSetValueExA(key_, value, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   DWORD(folder.size() + 1));
  }
  ~ShellFolderOverride() {
    if (had_) {
      RegSetValueExA(key_, value_, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                     DWORD(old_.size() + 1));
    } else {
      RegDeleteValueA(key_, value_);
    }
    RegCloseKey(key_);
  }
  ShellFolderOverride(const ShellFolderOverride&) = delete;
  ShellFolderOverride& operator=(const ShellFolderOverride&) = delete;

 private:
  static constexpr const char* kKey =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  const char* value_;
  HKEY key_ = nullptr;
  bool had_ = false;
  std::string old_;
};

}  // namespace shelltest
