// Runs the whole test program with a TMPDIR of its own, so the lock files of
// its mutexes neither pile up in /tmp nor meet those of a test run next door.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class CPrivateTmpdir : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* old = getenv("TMPDIR");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    dir_ = std::string(hadOld_ && *old != '\0' ? old : "/tmp") + "/pdkos-tests-XXXXXX";
    ASSERT_NE(mkdtemp(&dir_[0]), nullptr);
    setenv("TMPDIR", dir_.c_str(), 1);
  }

  void TearDown() override {
    if (hadOld_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* entry = readdir(d)) {
        const std::string file = entry->d_name;
        if (file != "." && file != "..") unlink((dir_ + "/" + file).c_str());
      }
      closedir(d);
    }
    rmdir(dir_.c_str());
  }

 private:
  std::string dir_;
  std::string old_;
  bool hadOld_ = false;
};

[[maybe_unused]] ::testing::Environment* const kPrivateTmpdir =
    ::testing::AddGlobalTestEnvironment(new CPrivateTmpdir);

}  // namespace
