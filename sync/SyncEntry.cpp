#include "SyncEntry.h"

#include <shlobj.h>

#include <cstring>
#include <memory>

#include "AppSettings.h"
#include "PDKException.h"
#include "SyncBox.h"
#include "SyncDlg.h"
#include "SyncEngine.h"
#include "SyncSettingsDlg.h"
#include "WinExplorer.h"

namespace tovik {

namespace {
const char* const kNameSuffix[] = {"", "Doc", "Fav"};
const char* const kPersonalFolder[] = {"", "My Profile\\Tovik USB Drive Documents\\",
                                       "My Profile\\Tovik USB Drive Favorites\\"};
const size_t kMaxLetters = sizeof(SyncParams::driveLetters);

bool IsFolder(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string WithoutSlash(const std::string& folder) {
  return !folder.empty() && folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
}

// The pairing of the entry, then the window; errors go to the caller. The
// engine is destroyed before the window object: destruction waits for its
// worker, whose last report may still be on its way to the window.
bool Synchronize(HWND parent, CSyncEntry::Kind kind, std::unique_ptr<CSyncEngine>& engine,
                 char firstVolume) {
  SyncLinkRecord link;
  if (!engine->GetLink(link)) {
    if (kind == CSyncEntry::kFolder) {
      CSyncSettingsDlg settings(parent, *engine, firstVolume);
      if (settings.DoModal() != IDOK) return false;
    } else {
      engine->SetLink(CSyncEntry::HostFolderOf(kind), CSyncEntry::DriveFolderOf(kind, firstVolume));
    }
  }
  CSyncDlg window(parent, *engine, firstVolume);
  window.DoModal();
  engine.reset();
  int code = 0;
  if (window.ScanFailed(code)) throw sync::CPDKException(code, "");
  return true;
}
}  // namespace

std::string CSyncEntry::LettersOfRoots(const std::string& roots) {
  std::string letters;
  size_t start = 0;
  while (start < roots.size() && letters.size() < kMaxLetters) {
    size_t end = roots.find(',', start);
    if (end == std::string::npos) end = roots.size();
    const std::string root = roots.substr(start, end - start);
    if (root.size() >= 2 && root[1] == ':' && isalpha(static_cast<unsigned char>(root[0]))) {
      letters += char(toupper(static_cast<unsigned char>(root[0])));
    }
    start = end + 1;
  }
  return letters;
}

std::string CSyncEntry::DatabaseFolder() {
  // The databases live beside the program and its settings.
  return CAppSettings::InstallFolder() + "\\";
}

bool CSyncEntry::ParamsFor(Kind kind, const SyncDrive& drive, SyncParams& params) {
  params = SyncParams{};
  if (drive.volumeLetters.empty()) return false;
  const std::string name = drive.identifier + kNameSuffix[kind];
  if (name.size() >= sizeof(params.name) ||
      drive.databaseFolder.size() >= sizeof(params.databaseFolder))
    return false;
  memcpy(params.name, name.c_str(), name.size());
  memcpy(params.databaseFolder, drive.databaseFolder.c_str(), drive.databaseFolder.size());
  memcpy(params.driveLetters, drive.volumeLetters.c_str(),
         std::min(drive.volumeLetters.size(), kMaxLetters));
  params.flags = kind == kFolder ? 0 : kSyncSkipHiddenSystem;
  return true;
}

std::string CSyncEntry::DriveFolderOf(Kind kind, char firstVolume) {
  if (kind == kFolder) return std::string();
  return std::string(1, firstVolume) + ":\\" + kPersonalFolder[kind];
}

std::string CSyncEntry::HostFolderOf(Kind kind) {
  if (kind == kFolder) return std::string();
  const std::string folder =
      CWinExplorer::GetSpecialFolder(kind == kDocuments ? CSIDL_PERSONAL : CSIDL_FAVORITES);
  return folder.empty() ? folder : folder + "\\";
}

bool CSyncEntry::Run(HWND parent, Kind kind, const SyncDrive& drive) {
  SyncParams params;
  if (!ParamsFor(kind, drive, params)) return false;
  const char firstVolume = params.driveLetters[0];
  if (kind == kFolder && !CWinExplorer::CreateFolderWithParents(WithoutSlash(drive.databaseFolder)))
    return false;
  if (kind != kFolder) {
    const std::string personal = DriveFolderOf(kind, firstVolume);
    if (!IsFolder(personal)) CWinExplorer::CreateFolderWithParents(WithoutSlash(personal));
  }
  auto engine = std::make_unique<CSyncEngine>();
  engine->SetParams(params);
  try {
    return Synchronize(parent, kind, engine, firstVolume);
  } catch (const sync::CPDKException& e) {
    // The engine writes its database back when it goes; the deletion comes after.
    engine.reset();
    if (CSyncBox::ErrorByCode(parent, e.code)) {
      try {
        CSyncEngine cleaner;
        cleaner.SetParams(params);
        cleaner.DeleteDatabase();
      } catch (const sync::CPDKException&) {
        // Deleting is a courtesy; a failure leaves the old file.
      }
    }
  }
  return false;
}

}  // namespace tovik
