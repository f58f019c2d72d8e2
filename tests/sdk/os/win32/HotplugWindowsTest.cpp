// The closer against real top-level windows of the titles it hunts. Needs a
// display under Wine (DISPLAY, e.g. Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "HotplugWindowCloser.h"
#include "PDKClock.h"
#include "TestClock.h"
#include "TestWindow.h"

namespace {

using pdkos::CHotplugWindowCloser;
using namespace std::chrono_literals;
using namespace hotplugtest;

constexpr const char* kSettings = "System Settings Change";
constexpr const char* kRemoval = "Unsafe Removal of Device";
constexpr const char* kHardware = "Found New Hardware Wizard";

Entry sysClose(const std::string& window) { return {window, WM_SYSCOMMAND, SC_CLOSE, 0}; }

TEST(HotplugWindowsTest, EveryWarningWindowIsClosedAndOnlyThose) {
  MessageLog log;
  // The restart prompt refuses the close request: only its "No" button ends it.
  TestWindow settings(log, "settings", kSettings, Close::kIgnores, NoButton::kClosesParent);
  TestWindow removal(log, "removal", kRemoval, Close::kTakes);
  TestWindow hardware(log, "hardware", kHardware, Close::kTakes);
  // Titles are matched whole.
  TestWindow near1(log, "near1", "System Settings", Close::kTakes, NoButton::kClosesParent);
  TestWindow near2(log, "near2", "Unsafe Removal of Device 2", Close::kTakes);
  TestWindow near3(log, "near3", "Found New Hardware", Close::kTakes);
  for (const TestWindow* w : {&settings, &removal, &hardware, &near1, &near2, &near3}) {
    ASSERT_WINDOW(*w);
  }

  EXPECT_TRUE(CHotplugWindowCloser::instance().close());

  EXPECT_FALSE(settings.exists());
  EXPECT_FALSE(removal.exists());
  EXPECT_FALSE(hardware.exists());
  EXPECT_TRUE(near1.exists());
  EXPECT_TRUE(near2.exists());
  EXPECT_TRUE(near3.exists());
  // Messages to a destroyed window are dropped, so a repeated request after
  // the one that closed a window leaves no trace.
  EXPECT_EQ(log.entries(), (std::vector<Entry>{
                               sysClose("settings"),
                               {"settings/No", WM_LBUTTONDBLCLK, 5, 5},
                               {"settings/No", WM_LBUTTONUP, 5, 5},
                               sysClose("removal"),
                               sysClose("hardware"),
                           }));
}

TEST(HotplugWindowsTest, RestartPromptThatTakesTheCloseRequestIsClosedByIt) {
  MessageLog log;
  TestWindow settings(log, "settings", kSettings, Close::kTakes, NoButton::kDoesNothing);
  ASSERT_WINDOW(settings);
  EXPECT_TRUE(CHotplugWindowCloser::instance().close());
  EXPECT_FALSE(settings.exists());
  ASSERT_FALSE(log.entries().empty());
  EXPECT_EQ(log.entries().front(), sysClose("settings"));
}

// Windows that never close: virtual time shows where the closer gave up.
struct StubbornCase {
  const char* title;
  NoButton button;
  unsigned windows;
  uint32_t expectedMs;
};

std::ostream& operator<<(std::ostream& os, const StubbornCase& c) {
  return os << c.title << " x" << c.windows;
}

class StubbornWindowsTest : public ::testing::TestWithParam<StubbornCase> {};

TEST_P(StubbornWindowsTest, AreGivenUpAfterTheirRounds) {
  const StubbornCase& c = GetParam();
  MessageLog log;
  std::vector<std::unique_ptr<TestWindow>> windows;
  for (unsigned i = 0; i < c.windows; ++i) {
    windows.push_back(std::make_unique<TestWindow>(log, "w" + std::to_string(i), c.title,
                                                   Close::kIgnores, c.button));
    ASSERT_WINDOW(*windows.back());
  }
  pdkos::CTestClock clock(0);
  pdkos::setClock(&clock);
  const bool closed = CHotplugWindowCloser::instance().close();
  pdkos::setClock(nullptr);
  EXPECT_FALSE(closed) << "a window that stayed was reported as closed";
  EXPECT_EQ(clock.tickCount(), c.expectedMs);
  for (const auto& w : windows) EXPECT_TRUE(w->exists());
}

constexpr uint32_t kWait = 20;
constexpr uint32_t kPerWindow = CHotplugWindowCloser::kRoundsPerWindow;
constexpr uint32_t kPerTitle = CHotplugWindowCloser::kRoundsPerTitle;
static_assert(4 * kPerWindow <= kPerTitle && 5 * kPerWindow > kPerTitle,
              "the cases below assume four windows fit into a title's rounds, five do not");

INSTANTIATE_TEST_SUITE_P(
    Bounds, StubbornWindowsTest,
    ::testing::Values(
        // The prompt waits twice a round: after the close request and after the click.
        StubbornCase{kSettings, NoButton::kDoesNothing, 1, kPerWindow * 2 * kWait},
        StubbornCase{kSettings, NoButton::kNone, 1, kPerWindow * 2 * kWait},
        StubbornCase{kRemoval, NoButton::kNone, 1, kPerWindow* kWait},
        StubbornCase{kHardware, NoButton::kNone, 4, 4 * kPerWindow* kWait},
        // An endless supply of windows is cut off by the title's own limit.
        StubbornCase{kHardware, NoButton::kNone, 5, kPerTitle* kWait}));

TEST(HotplugWindowsTest, StubbornWindowDoesNotKeepOthersOfItsTitleOpen) {
  MessageLog log;
  TestWindow willing(log, "willing", kRemoval, Close::kTakes);
  // On top, so it is the one found first.
  TestWindow stubborn(log, "stubborn", kRemoval, Close::kIgnores, NoButton::kNone, true);
  ASSERT_WINDOW(willing);
  ASSERT_WINDOW(stubborn);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(CHotplugWindowCloser::instance().close());
  // The real clock: 25 rounds of 20 ms, with room for a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_FALSE(willing.exists());
  EXPECT_TRUE(stubborn.exists());
}

}  // namespace
