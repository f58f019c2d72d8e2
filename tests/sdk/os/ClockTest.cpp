#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "PDKClock.h"
#include "TestClock.h"

namespace {

TEST(TestClockTest, SleepAndAdvanceMoveTimeOn) {
  EXPECT_EQ(pdkos::CTestClock().tickCount(), 1000u);
  pdkos::CTestClock clock(500);
  EXPECT_EQ(clock.tickCount(), 500u);
  clock.sleep(20);
  EXPECT_EQ(clock.tickCount(), 520u);
  clock.advance(7);
  EXPECT_EQ(clock.tickCount(), 527u);
}

TEST(TestClockTest, ConcurrentSleepsAllCount) {
  pdkos::CTestClock clock(0);
  std::vector<std::thread> sleepers;
  for (int i = 0; i < 4; ++i) {
    sleepers.emplace_back([&clock] {
      for (int n = 0; n < 1000; ++n) clock.sleep(1);
    });
  }
  for (auto& sleeper : sleepers) sleeper.join();
  EXPECT_EQ(clock.tickCount(), 4000u);
}

TEST(SdkClockTest, InstalledClockServesTheSdk) {
  pdkos::CTestClock clock(5000);
  pdkos::setClock(&clock);
  EXPECT_EQ(pdkos::tickCount(), 5000u);
  pdkos::sleep(40);
  EXPECT_EQ(clock.tickCount(), 5040u);
  EXPECT_EQ(pdkos::tickCount(), 5040u);
  pdkos::setClock(nullptr);
  pdkos::sleep(1);
  EXPECT_EQ(clock.tickCount(), 5040u) << "the system clock still slept on the test clock";
}

TEST(SdkClockTest, SystemClockCountsRealMilliseconds) {
  pdkos::setClock(nullptr);
  const uint32_t before = pdkos::tickCount();
  pdkos::sleep(50);
  const uint32_t elapsed = pdkos::tickCount() - before;  // unsigned: right across a wrap too
  EXPECT_GE(elapsed, 30u);  // GetTickCount moves in steps of about 16 ms
  EXPECT_LT(elapsed, 10000u);
}

}  // namespace
