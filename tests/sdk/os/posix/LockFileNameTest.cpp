// Any mutex name maps to its own lock file inside the temporary folder.
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "NamedMutexState.h"
#include "PDKMutex.h"
#include "sdk/os/LockProbe.h"
#include "sdk/os/TestNames.h"

namespace {

using pdkos::posix::CNamedMutexState;

struct NameCase {
  const char* label;
  std::string suffix;
};

std::ostream& operator<<(std::ostream& out, const NameCase& c) { return out << c.label; }

class LockFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(LockFileNameTest, NameGivesAUsableFileInTheTemporaryFolder) {
  const std::string name = uniqueName("odd") + GetParam().suffix;
  const std::string path = CNamedMutexState::lockFilePath(name);
  const std::string dir = path.substr(0, path.rfind('/'));
  const std::string file = path.substr(dir.size() + 1);
  const char* tmp = getenv("TMPDIR");
  EXPECT_EQ(dir, (tmp != nullptr && *tmp != '\0') ? std::string(tmp) : std::string("/tmp"));
  EXPECT_LE(file.size(), 255u);

  CPDKMutex mutex;
  ASSERT_EQ(mutex.create(name.c_str(), false), 0);
  EXPECT_EQ(mutex.lock(), 0);
  EXPECT_EQ(mutex.unlock(), 0);
  EXPECT_EQ(access(path.c_str(), F_OK), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LockFileNameTest,
    ::testing::Values(NameCase{"Slashes", "/a/b/"}, NameCase{"Backslash", "Global\\x"},
                      NameCase{"DotDot", "/../../etc/x"}, NameCase{"Long", std::string(400, 'n')},
                      NameCase{"Spaces", " with spaces"},
                      NameCase{"NonAscii", "-\xc3\xbc\xc3\x9f"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST(LockFileNameApartTest, NamesWithTheSameSafeCharactersStayApart) {
  const std::string base = uniqueName("apart");
  const std::string slash = base + "/x";
  const std::string underscore = base + "_x";
  EXPECT_NE(CNamedMutexState::lockFilePath(slash), CNamedMutexState::lockFilePath(underscore));

  CPDKMutex first;
  CPDKMutex second;
  ASSERT_EQ(first.create(slash.c_str(), false), 0);
  ASSERT_EQ(second.create(underscore.c_str(), false), 0);
  ASSERT_EQ(first.lock(), 0);
  CLockProbe other([&second] { return second.lock(); }, [&second] { return second.unlock(); });
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
  EXPECT_EQ(first.unlock(), 0);
}

TEST(LockFileNameDirTest, LockFileGoesToTmpdir) {
  const char* old = getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "/tmp";
  std::string dir = saved + "/pdkos-tmpdir-XXXXXX";
  ASSERT_NE(mkdtemp(&dir[0]), nullptr);
  setenv("TMPDIR", dir.c_str(), 1);
  const std::string name = uniqueName("tmpdir");
  const std::string path = CNamedMutexState::lockFilePath(name);
  {
    CPDKMutex mutex;
    EXPECT_EQ(mutex.create(name.c_str(), false), 0);
  }
  if (old != nullptr) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  EXPECT_EQ(path.rfind(dir + "/", 0), 0u);
  EXPECT_EQ(access(path.c_str(), F_OK), 0);
  unlink(path.c_str());
  rmdir(dir.c_str());
}

}  // namespace
