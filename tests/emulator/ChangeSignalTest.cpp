#include "ChangeSignal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Every waiter wakes for one change: the signal is a broadcast, and a change
// made before a waiter starts waiting is not lost either.
TEST(ChangeSignal, OneChangeWakesEveryWaiterEarlyOrLate) {
  emu::CChangeSignal signal;
  std::atomic<int> state{0};
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (signal.waitFor(60s, [&] { return state.load() == 2; })) ++woken;
    });
  // A change that does not make them ready must not end their wait.
  state = 1;
  signal.notifyAll();
  state = 2;
  signal.notifyAll();
  for (std::thread& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_TRUE(signal.waitFor(0ms, [&] { return state.load() == 2; }));
}

TEST(ChangeSignal, NeverReadyEndsAtTheTimeOut) {
  emu::CChangeSignal signal;
  std::thread noise([&] {
    for (int i = 0; i < 20; ++i) signal.notifyAll();
  });
  EXPECT_FALSE(signal.waitFor(50ms, [] { return false; }));
  noise.join();
}

TEST(ChangeSignal, WaitsAreCutToWholeMillisecondsOfAtLeastOne) {
  const auto now = std::chrono::steady_clock::now();
  EXPECT_EQ(emu::CChangeSignal::millisecondsUntil(now - 5ms, now), 1u);
  EXPECT_EQ(emu::CChangeSignal::millisecondsUntil(now + 1500us, now), 2u);
  EXPECT_EQ(emu::CChangeSignal::millisecondsUntil(now + 24h * 365 * 200, now),
            CPDKEvent::kInfinite - 1);
}

}  // namespace
