// The boxes of the sync dialogs and entries: errors by code, warnings and
// notices, all through the skinned message box.
#pragma once

#include <windows.h>

#include <string>

namespace tovik {

class CSyncBox {
 public:
  // `text` under the program name + " Error" (or + " Warning"); with
  // `withCancel` the box offers "&Cancel" too. True when OK was pressed.
  static bool Error(HWND parent, const std::string& text, bool withCancel = false);
  static bool Warning(HWND parent, const std::string& text, bool withCancel = false);
  // `text` under `caption`, with picture `pictureId` (0: none), "OK" and,
  // with `withCancel`, "&Cancel"; true when OK was pressed. The main window's
  // boxes are made here too.
  static bool Ask(HWND parent, const std::string& text, const std::string& caption, UINT pictureId,
                  bool withCancel);
  // A notice under " Tovik Control Panel", OK only.
  static void Notice(HWND parent, const std::string& text);
  // The error box of a sync error code; true when code 0 (a database that
  // cannot be used) was answered with OK, i.e. a new database is wanted.
  static bool ErrorByCode(HWND parent, int code);
};

}  // namespace tovik
