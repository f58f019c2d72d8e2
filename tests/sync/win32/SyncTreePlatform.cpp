// Under Wine the host side is the test's folder on C: and the drive side a
// folder on Z:, Wine's drive for the Unix root. A movable drive lives on S:;
// the tests' set-up step links S: and T: to one folder of the build.
#include <windows.h>

#include <random>
#include <stdexcept>
#include <system_error>

#include "sync/SyncTree.h"

namespace synctest {

SyncTree::SyncTree(bool movableDrive) {
  std::random_device random;
  if (movableDrive && GetFileAttributesA("S:\\") == INVALID_FILE_ATTRIBUTES) {
    throw std::runtime_error("no drive S: (made by the sync tests' set-up step)");
  }
  driveRoot_ = std::string(movableDrive ? "S:" : "Z:\\tmp") + "\\tovik-sync-" +
               std::to_string(random()) + "-" + std::to_string(GetCurrentProcessId());
  const std::string root = dir_.path().string();
  host_ = root + "\\host\\";
  databaseFolder_ = root + "\\db\\";
  drive_ = driveRoot_.string() + "\\Work\\";
  for (const std::string* folder : {&host_, &drive_, &databaseFolder_}) makeFolder(*folder);
}

SyncTree::~SyncTree() {
  std::error_code ec;
  std::filesystem::remove_all(driveRoot_, ec);
}

const std::string& SyncTree::moveDrive() {
  if (GetFileAttributesA("T:\\") == INVALID_FILE_ATTRIBUTES) {
    throw std::runtime_error("no drive T: (made by the sync tests' set-up step)");
  }
  drive_[0] = 'T';
  return drive_;
}

std::filesystem::path SyncTree::nativePath(const std::string& enginePath) { return enginePath; }

void SyncTree::setTime(const std::string& enginePath, uint64_t time) {
  HANDLE file = CreateFileA(enginePath.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + enginePath);
  const FILETIME ft{DWORD(time), DWORD(time >> 32)};
  const BOOL ok = SetFileTime(file, nullptr, nullptr, &ft);
  CloseHandle(file);
  if (!ok) throw std::runtime_error("cannot set the time of " + enginePath);
}

}  // namespace synctest
