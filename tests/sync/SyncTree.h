// A host folder, a drive folder and a database folder for one test, named as
// the engine names them ("C:\...\host\"), and the few file operations a test
// needs to arrange and inspect them. Natively the letters are mapped to
// folders of the test's own; under Wine the drive tree lives on Z:.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "SyncRecords.h"
#include "emulator/TempDir.h"

namespace synctest {

// 2024-01-01 00:00:00 UTC as a file time, and one second.
constexpr uint64_t kBaseTime = 133485408000000000ull;
constexpr uint64_t kSecond = 10000000ull;

class SyncTree {
 public:
  // A movable drive can come back under another letter (moveDrive); under Wine
  // it lives on S:, which the test set-up maps to one folder with T:.
  explicit SyncTree(bool movableDrive = false);
  ~SyncTree();
  SyncTree(const SyncTree&) = delete;
  SyncTree& operator=(const SyncTree&) = delete;

  const std::string& host() const { return host_; }    // ends with "\"
  const std::string& drive() const { return drive_; }  // ends with "\"
  const std::string& databaseFolder() const { return databaseFolder_; }
  char driveLetter() const { return drive_[0]; }
  // The drive's volume is seen under another letter from now on; the old
  // letter is gone or (natively) another, empty device. Gives the new drive().
  const std::string& moveDrive();

  static std::filesystem::path nativePath(const std::string& enginePath);
  // Writes the file (making its folders) and gives it the last-write time.
  static void write(const std::string& enginePath, const std::string& content, uint64_t time);
  static void setTime(const std::string& enginePath, uint64_t time);
  static uint64_t time(const std::string& enginePath);
  static std::string read(const std::string& enginePath);
  static bool exists(const std::string& enginePath);
  static void remove(const std::string& enginePath);
  static void makeFolder(const std::string& enginePath);
  static void rename(const std::string& fromEnginePath, const std::string& toEnginePath);

 private:
  tovik_test::TempDir dir_;
  std::filesystem::path driveRoot_;  // removed at the end when it is not inside dir_
  std::string host_;
  std::string drive_;
  std::string databaseFolder_;
};

}  // namespace synctest
