// The platform's file system with failures on request, for the paths where a
// real failure cannot be arranged (a full disk; tests run as root).
#pragma once

#include <atomic>

#include "SyncFileSystem.h"

namespace synctest {

class FaultyFileSystem : public tovik::ISyncFileSystem {
 public:
  std::atomic<bool> failReplace{false};
  std::atomic<bool> failCopy{false};

  bool pathExists(const std::string& p) override { return real().pathExists(p); }
  bool access(const std::string& p) override { return real().access(p); }
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
    return real().replaceFile(p, d, n);
  }
  bool listFolder(const std::string& f, std::vector<tovik::SyncFolderEntry>& e) override {
    return real().listFolder(f, e);
  }
  bool lastWriteTime(const std::string& p, tovik::SyncFileTime& t) override {
    return real().lastWriteTime(p, t);
  }
  uint32_t attributes(const std::string& p) override { return real().attributes(p); }
  bool setAttributes(const std::string& p, uint32_t a) override {
    return real().setAttributes(p, a);
  }
  bool copyFile(const std::string& from, const std::string& to) override {
    return !failCopy && real().copyFile(from, to);
  }
  bool removeFile(const std::string& p) override { return real().removeFile(p); }
  bool makeFolder(const std::string& p) override { return real().makeFolder(p); }
  bool removeFolder(const std::string& p) override { return real().removeFolder(p); }

 private:
  static tovik::ISyncFileSystem& real() { return tovik::platformSyncFileSystem(); }
};

}  // namespace synctest
