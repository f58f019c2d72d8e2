// The platform's file system with failures on request, for the paths where a
// real failure cannot be arranged (a full disk, a folder nobody may read: tests
// run as root).
#pragma once

#include <atomic>
#include <set>
#include <string>

#include "SyncFileSystem.h"
#include "TestClock.h"

namespace synctest {

class FaultyFileSystem : public tovik::ISyncFileSystem {
 public:
  std::atomic<bool> failReplace{false};
  std::atomic<bool> failCopy{false};
  // Database writes report success and write nothing, as when the program is
  // cut off before they reach the disk.
  std::atomic<bool> dropWrites{false};
  std::atomic<int> writes{0};  // database writes that reached the file
  // A database write takes this long on the clock, when there is one.
  pdkos::CTestClock* clock = nullptr;
  uint32_t msPerWrite = 0;
  // Folders (engine paths ending with "\") that neither list nor let anything
  // inside them be seen, as without read permission. Set while no scan runs.
  std::set<std::string> unreadable;

  bool pathExists(const std::string& p) override { return !unseen(p) && real().pathExists(p); }
  bool access(const std::string& p) override { return !unseen(p) && real().access(p); }
  ReadResult readFile(const std::string& p, std::vector<uint8_t>& d) override {
    return real().readFile(p, d);
  }
  CreateResult createFile(const std::string& p, const uint8_t* d, size_t n) override {
    return real().createFile(p, d, n);
  }
  // Fails after writing half of the bytes beside the file, as a full disk would.
  bool replaceFile(const std::string& p, const uint8_t* d, size_t n) override {
    if (failReplace) {
      real().createFile(p + ".new", d, n / 2);
      real().removeFile(p + ".new");
      return false;
    }
    if (dropWrites) return true;
    if (clock != nullptr) clock->advance(msPerWrite);
    if (!real().replaceFile(p, d, n)) return false;
    ++writes;
    return true;
  }
  bool listFolder(const std::string& f, std::vector<tovik::SyncFolderEntry>& e) override {
    return !unseen(f) && real().listFolder(f, e);
  }
  bool lastWriteTime(const std::string& p, tovik::SyncFileTime& t) override {
    return !unseen(p) && real().lastWriteTime(p, t);
  }
  uint32_t attributes(const std::string& p) override {
    return unseen(p) ? tovik::kAttrInvalid : real().attributes(p);
  }
  bool setAttributes(const std::string& p, uint32_t a) override {
    return real().setAttributes(p, a);
  }
  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    return !failCopy && real().copyFile(from, to, failIfExists);
  }
  bool removeFile(const std::string& p) override { return real().removeFile(p); }
  bool makeFolder(const std::string& p) override { return real().makeFolder(p); }
  bool removeFolder(const std::string& p) override { return real().removeFolder(p); }

 private:
  static tovik::ISyncFileSystem& real() { return tovik::platformSyncFileSystem(); }
  // The folder itself or anything inside an unreadable folder.
  bool unseen(const std::string& path) const {
    for (const std::string& folder : unreadable) {
      if (path.compare(0, folder.size(), folder) == 0) return true;
    }
    return false;
  }
};

}  // namespace synctest
