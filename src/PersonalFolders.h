// The personal folders on a drive: "My Profile" and its "Start Menu" with
// "My Tovik USB Drive", "Tovik USB Drive Documents" and "Tovik USB Drive
// Favorites", each made a customised system folder Explorer shows with its
// own description, icon and web view, and shortcuts to the three in the
// drive's "Start Menu" so they appear among the drive's tools.
#pragma once

#include <windows.h>

#include <string>

class CPDKProxy;

class CPersonalFolders {
 public:
  // The plain customisation ("My Profile", "Device Settings"): the folder is
  // made with missing parents, gets its description and web view and the
  // attributes read-only and system. A file that cannot be written is skipped.
  static bool CustomiseFolder(const std::string& path);
  // The customisation of one of the three personal folders: kinds 5 ("My
  // Tovik USB Drive"), 6 (documents) and 7 (favorites) of the proxy's folder
  // kinds; false for any other kind.
  static bool CustomisePersonalFolder(const std::string& path, int kind);
  // The "Create Personal Folders" command: asks with the skinned message box
  // first; true when it went ahead.
  static bool CreatePersonalFolders(HWND parent, CPDKProxy& proxy);
};
