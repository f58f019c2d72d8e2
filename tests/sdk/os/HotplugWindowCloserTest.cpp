// What every build of the closer shares: the English caption when the system
// has no hot-plug library (always so on Linux and under Wine), and nothing to
// close, and no time spent, when no warning window is open.
#include "HotplugWindowCloser.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "PDKClock.h"
#include "TestClock.h"

namespace {

using pdkos::CHotplugWindowCloser;

TEST(HotplugWindowCloserTest, WithoutTheSystemLibraryTheCaptionIsEnglish) {
  EXPECT_EQ(CHotplugWindowCloser().caption(), "Unsafe Removal of Device");
  EXPECT_EQ(CHotplugWindowCloser::instance().caption(), "Unsafe Removal of Device");
}

TEST(HotplugWindowCloserTest, NoWarningWindowMeansFalseWithoutWaiting) {
  pdkos::CTestClock clock(0);
  pdkos::setClock(&clock);
  const bool closed = CHotplugWindowCloser::instance().close();
  pdkos::setClock(nullptr);
  EXPECT_FALSE(closed);
  EXPECT_EQ(clock.tickCount(), 0u) << "close() waited with nothing to close";
}

TEST(HotplugWindowCloserTest, EveryThreadGetsTheSameInstance) {
  std::vector<const CHotplugWindowCloser*> seen(4, nullptr);
  std::vector<std::thread> threads;
  for (auto& slot : seen) {
    threads.emplace_back([&slot] { slot = &CHotplugWindowCloser::instance(); });
  }
  for (auto& thread : threads) thread.join();
  for (const auto* closer : seen) EXPECT_EQ(closer, &CHotplugWindowCloser::instance());
}

}  // namespace
