#include "CurrentDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(CurrentDirectoryTest, MovesToTheWindowsDirectoryAndBack) {
  pdkos::ICurrentDirectory& dir = pdkos::platformCurrentDirectory();
  char original[512] = {};
  char windows[512] = {};
  ASSERT_TRUE(dir.get(original, sizeof original));
  ASSERT_TRUE(dir.windowsDirectory(windows, sizeof windows));
  ASSERT_NE(windows[0], '\0');

  ASSERT_TRUE(dir.set(windows));
  char now[512] = {};
  ASSERT_TRUE(dir.get(now, sizeof now));
  EXPECT_STREQ(now, windows);

  ASSERT_TRUE(dir.set(original));
  ASSERT_TRUE(dir.get(now, sizeof now));
  EXPECT_STREQ(now, original);
}

TEST(CurrentDirectoryTest, AnswersThatDoNotFitAreRefused) {
  pdkos::ICurrentDirectory& dir = pdkos::platformCurrentDirectory();
  char windows[512] = {};
  ASSERT_TRUE(dir.windowsDirectory(windows, sizeof windows));
  char current[512] = {};
  ASSERT_TRUE(dir.get(current, sizeof current));
  const size_t windowsLength = std::strlen(windows), currentLength = std::strlen(current);

  char small[512];
  // Room for every character but the terminator is not enough.
  EXPECT_FALSE(dir.windowsDirectory(small, windowsLength));
  EXPECT_FALSE(dir.get(small, currentLength));
  EXPECT_TRUE(dir.windowsDirectory(small, windowsLength + 1));
  EXPECT_STREQ(small, windows);
  EXPECT_TRUE(dir.get(small, currentLength + 1));
  EXPECT_STREQ(small, current);
  EXPECT_FALSE(dir.set("/no/such/folder/for/this/test"));
}

}  // namespace
