#include "WindowsKind.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "ShellTestSupport.h"

namespace {

struct VersionCase {
  unsigned long platform, major, minor;
  const char* servicePack;
  int kind;
};

TEST(WindowsKind, ClassifiesEveryVersionAnswer) {
  const VersionCase cases[] = {
      {VER_PLATFORM_WIN32s, 3, 10, "", kWin32s},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 0, "", kWin95},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, "", kWin98},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, " B ", kWin98},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, "A", kWin98},  // "A" must be the second character
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, " A ", kWin98SE},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 90, " ", kWinME},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 50, "", kWinOther},
      {VER_PLATFORM_WIN32_NT, 3, 51, "", kWinNT},
      {VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6", kWinNT},
      {VER_PLATFORM_WIN32_NT, 5, 0, "", kWin2000},
      {VER_PLATFORM_WIN32_NT, 5, 1, "Service Pack 2", kWinXP},
      {VER_PLATFORM_WIN32_NT, 5, 2, "", kWinOther},
      {VER_PLATFORM_WIN32_NT, 6, 1, "", kWinOther},
      {7, 5, 1, "", kWinOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyWindowsVersion(c.platform, c.major, c.minor, c.servicePack), c.kind)
        << c.platform << " " << c.major << "." << c.minor << " '" << c.servicePack << "'";
  }
}

TEST(WindowsKind, RunningSystemIsTheKindTheRunWasStartedFor) {
  const int expected = shelltest::ExpectedKind();
  if (expected < 0) GTEST_SKIP() << "the run names no Windows kind";
  EXPECT_EQ(GetWindowsKind(), expected);
}

}  // namespace
