#include "OSKind.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(OSKindTest, VersionAnswersAreClassified) {
  const struct {
    uint32_t platform, major, minor;
    const char* servicePack;
    int kind;
  } cases[] = {
      {0, 3, 11, "", 0},     // Win32s
      {1, 4, 0, "", 0},      // Windows 95
      {1, 4, 10, " A ", 3},  // 98 Second Edition
      {1, 4, 10, "", 2},     // 98
      {1, 4, 10, " B", 2},
      {1, 4, 10, "A", 2},  // 'A' must be the second character
      {1, 4, 90, " ", 4},  // ME
      {1, 5, 0, "", -1},
      {2, 3, 51, "", 5},
      {2, 4, 0, "Service Pack 6", 5},
      {2, 5, 0, "", 6},                // 2000
      {2, 5, 1, "Service Pack 2", 7},  // XP
      {2, 5, 2, "", -1},
      {2, 6, 1, "", -1},
      {3, 1, 0, "", -1},
  };
  for (const auto& c : cases) {
    pdkos::OSVersion v;
    v.platformId = c.platform;
    v.major = c.major;
    v.minor = c.minor;
    std::strcpy(v.servicePack, c.servicePack);
    EXPECT_EQ(pdk::classifyOSVersion(v), c.kind)
        << c.platform << " " << c.major << "." << c.minor << " '" << c.servicePack << "'";
  }
}

TEST(OSKindTest, TheTestOverrideAnswersUntilItIsRemoved) {
  const int real = GetOSKind();
  for (int kind : {2, 3, 4, 5, 6, 7, -1}) {
    setOSKindForTesting(kind);
    EXPECT_EQ(GetOSKind(), kind);
  }
  setOSKindForTesting(kOSKindNotOverridden);
  EXPECT_EQ(GetOSKind(), real);
}

}  // namespace
