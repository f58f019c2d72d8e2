// The application's two decisions that need no process of their own: which
// Windows versions it runs on (from the version answers of each system, so
// 98 first edition is told from 98 SE by its service-pack text) and which
// of two product versions is newer.
#include <gtest/gtest.h>

#include "Kestova.h"
#include "KestovaDlg.h"
#include "WindowsKind.h"

namespace {

TEST(KestovaAppTest, Only98SecondEditionMe2000AndXpAreSupported) {
  const struct {
    const char* system;
    unsigned long platform, major, minor;
    const char* servicePack;
    bool supported;
  } cases[] = {
      {"Win32s", 0, 3, 10, "", false},
      {"95", 1, 4, 0, "", false},
      {"98 first edition", 1, 4, 10, "", false},
      {"98 first edition, patched", 1, 4, 10, " B ", false},
      {"98 Second Edition", 1, 4, 10, " A ", true},
      {"ME", 1, 4, 90, "", true},
      {"NT 4", 2, 4, 0, "Service Pack 6", false},
      {"2000", 2, 5, 0, "", true},
      {"XP", 2, 5, 1, "Service Pack 2", true},
      {"later", 2, 6, 1, "", false},
  };
  for (const auto& c : cases) {
    const int kind = ClassifyWindowsVersion(c.platform, c.major, c.minor, c.servicePack);
    EXPECT_EQ(CKestovaApp::IsSupportedKind(kind), c.supported) << c.system;
  }
}

TEST(KestovaAppTest, AVersionIsNewerByItsHighWordOrWithAnEqualHighWordByItsLowWord) {
  const uint32_t ownHigh = (1u << 16) | 2u, ownLow = (3u << 16) | 4u;
  const struct {
    uint32_t high, low;
    bool newer;
  } cases[] = {
      {ownHigh, ownLow, false}, {ownHigh, ownLow + 1, true},       {ownHigh, ownLow - 1, false},
      {ownHigh + 1, 0, true},   {ownHigh - 1, 0xFFFFFFFFu, false}, {(2u << 16), 0, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CKestovaDlg::IsNewer(c.high, c.low, ownHigh, ownLow), c.newer)
        << std::hex << c.high << " " << c.low;
  }
}

}  // namespace
