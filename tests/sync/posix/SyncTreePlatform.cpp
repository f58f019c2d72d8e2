// Natively C: is the test's host side and E: its drive; a moved drive is F:,
// and E: then another device.
#include <fcntl.h>
#include <sys/stat.h>

#include <stdexcept>

#include "PosixDrives.h"
#include "sync/SyncTree.h"

namespace synctest {

SyncTree::SyncTree(bool) {
  tovik::MapPosixDrive('C', (dir_.path() / "c").string());
  tovik::MapPosixDrive('E', (dir_.path() / "e").string());
  host_ = "C:\\host\\";
  drive_ = "E:\\Work\\";
  databaseFolder_ = "C:\\db\\";
  for (const std::string* folder : {&host_, &drive_, &databaseFolder_}) makeFolder(*folder);
}

SyncTree::~SyncTree() {
  tovik::MapPosixDrive('C', "");
  tovik::MapPosixDrive('E', "");
  tovik::MapPosixDrive('F', "");
}

const std::string& SyncTree::moveDrive() {
  tovik::MapPosixDrive('F', (dir_.path() / "e").string());
  std::filesystem::create_directories(dir_.path() / "other" / "Work");
  tovik::MapPosixDrive('E', (dir_.path() / "other").string());
  drive_[0] = 'F';
  return drive_;
}

std::filesystem::path SyncTree::nativePath(const std::string& enginePath) {
  return tovik::PosixPath(enginePath);
}

void SyncTree::setTime(const std::string& enginePath, uint64_t time) {
  struct timespec times[2];
  times[0].tv_sec = time_t(time / kSecond) - time_t(11644473600ll);
  times[0].tv_nsec = long(time % kSecond) * 100;
  times[1] = times[0];
  if (utimensat(AT_FDCWD, nativePath(enginePath).c_str(), times, 0) != 0) {
    throw std::runtime_error("cannot set the time of " + enginePath);
  }
}

}  // namespace synctest
