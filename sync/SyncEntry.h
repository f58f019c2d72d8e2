// The three sync entries of a drive: "Synchronize Folder", "Synchronize My
// Documents" and "Synchronize My Favorites". Each fills the engine's
// parameters from what it is told about the drive, finds or makes the
// pairing, and runs the sync window; a sync error that reaches it is shown.
#pragma once

#include <windows.h>

#include <string>

#include "SyncParams.h"

namespace tovik {

// What an entry needs of a drive.
struct SyncDrive {
  std::string identifier;      // the drive's identifier text: the database name
  std::string volumeLetters;   // its volumes' letters in volume order
  std::string databaseFolder;  // where the databases live, ending with "\"
};

class CSyncEntry {
 public:
  enum Kind { kFolder = 0, kDocuments = 1, kFavorites = 2 };

  // The letters of a comma-separated list of volume roots ("E:\,F:\").
  static std::string LettersOfRoots(const std::string& roots);
  // The per-user folder of the databases: application data + "\Tovik\"
  // (the temporary folder when there is none).
  static std::string DatabaseFolder();
  // The parameters of `kind` for `drive`; false for a drive without volumes.
  static bool ParamsFor(Kind kind, const SyncDrive& drive, SyncParams& params);
  // The drive-side personal folder of a kind ("" for kFolder), ending with "\".
  static std::string DriveFolderOf(Kind kind, char firstVolume);
  // The host folder of a kind ("" for kFolder), ending with "\".
  static std::string HostFolderOf(Kind kind);

  // Runs the entry; false when it did nothing (no volume, no database folder,
  // settings cancelled) or ended with an error shown to the user.
  static bool Run(HWND parent, Kind kind, const SyncDrive& drive);
};

}  // namespace tovik
