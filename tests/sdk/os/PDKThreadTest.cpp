#include "PDKThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "PDKClock.h"
#include "TestClock.h"

namespace {

// A worker that records what its body went through.
class CRecordingThread : public CPDKThread {
 public:
  explicit CRecordingThread(uint32_t periodMs = 1) : CPDKThread(periodMs) {}
  ~CRecordingThread() override { stop(); }

  std::atomic<int> bodies{0};
  std::atomic<int> loops{0};
  std::atomic<bool> sawRunFlag{false};
  std::atomic<bool> inBody{false};
  std::function<void()> eachLoop;   // set before start()
  std::function<void()> afterLoop;  // set before start()

 protected:
  void run() override {
    inBody = true;
    ++bodies;
    sawRunFlag = runFlag();
    while (runFlag()) {
      ++loops;
      if (eachLoop) {
        eachLoop();
      } else {
        pdkos::sleep(period());
      }
    }
    if (afterLoop) afterLoop();
    inBody = false;
  }
};

template <class Condition>
bool eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(PDKThreadTest, BodyLoopsFromStartUntilStop) {
  CRecordingThread thread;
  EXPECT_FALSE(thread.isRunning());
  thread.start();
  EXPECT_TRUE(thread.isRunning());
  EXPECT_TRUE(eventually([&] { return thread.loops >= 3; }));
  thread.stop();
  EXPECT_FALSE(thread.isRunning());
  EXPECT_FALSE(thread.inBody) << "stop() returned before the body ended";
  EXPECT_EQ(thread.bodies, 1);
  EXPECT_TRUE(thread.sawRunFlag);
}

TEST(PDKThreadTest, StopRightAfterStartEndsTheBodyEveryTime) {
  CRecordingThread thread;
  for (int round = 1; round <= 20; ++round) {
    thread.start();
    thread.stop();
    ASSERT_EQ(thread.bodies, round) << "a start() after stop() was taken for a running thread";
    ASSERT_FALSE(thread.inBody) << "stop() returned before the body ended";
  }
}

TEST(PDKThreadTest, StartWhileRunningStartsNoSecondBody) {
  CRecordingThread thread;
  thread.start();
  thread.start();
  thread.stop();
  EXPECT_EQ(thread.bodies, 1);
}

TEST(PDKThreadTest, StopWithoutStartReturns) {
  CRecordingThread thread;
  thread.stop();
  EXPECT_FALSE(thread.isRunning());
  EXPECT_EQ(thread.bodies, 0);
}

TEST(PDKThreadTest, BodyMayStopItself) {
  CRecordingThread thread;
  thread.eachLoop = [&thread] { thread.stop(); };  // from inside its own body
  for (int round = 1; round <= 20; ++round) {
    thread.start();  // the body may be over before start() looks; start() must return all the same
    EXPECT_TRUE(eventually([&] { return !thread.isRunning(); }));
    thread.stop();  // waits for a body that cleared the flag itself
    ASSERT_EQ(thread.bodies, round);
    ASSERT_FALSE(thread.inBody) << "stop() returned before the body ended";
  }
}

TEST(PDKThreadTest, StopWaitsInStepsOfThePeriodOnTheSdkClock) {
  constexpr uint32_t kPeriod = 7;
  constexpr uint32_t kStart = 1000;
  pdkos::CTestClock clock(kStart);
  pdkos::setClock(&clock);
  CRecordingThread thread(kPeriod);
  thread.eachLoop = [] { std::this_thread::yield(); };  // leaves the clock to stop()
  // The body lingers until stop() has slept at least three periods.
  thread.afterLoop = [] {
    while (pdkos::tickCount() < kStart + 3 * kPeriod) std::this_thread::yield();
  };
  thread.start();
  thread.stop();
  pdkos::setClock(nullptr);
  const uint32_t waited = clock.tickCount() - kStart;
  EXPECT_GE(waited, 3 * kPeriod);
  EXPECT_EQ(waited % kPeriod, 0u);
}

}  // namespace
