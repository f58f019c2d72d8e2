#include "PDKEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "DebugOutput.h"
#include "OSErrors.h"
#include "PDKMutex.h"
#include "sdk/os/TestNames.h"

namespace {

// Expects a wait of `ms` to time out with the Windows time-out code.
void expectTimeOut(CPDKEvent& event, uint32_t ms) {
  errno = 0;
  EXPECT_EQ(event.wait(ms), -1);
  EXPECT_EQ(errno, pdkos::kErrorSemTimeout);
}

struct ResetCase {
  const char* name;
  bool manualReset;
  bool initiallySignalled;
};

std::ostream& operator<<(std::ostream& out, const ResetCase& c) { return out << c.name; }

class PDKEventResetTest : public ::testing::TestWithParam<ResetCase> {};

TEST_P(PDKEventResetTest, SignalLastsUntilResetOrOneWait) {
  const ResetCase& c = GetParam();
  CPDKEvent event(c.manualReset, c.initiallySignalled);
  if (c.initiallySignalled) {
    EXPECT_EQ(event.wait(0), 0);
  }
  ASSERT_EQ(event.reset(), 0);
  expectTimeOut(event, 0);

  ASSERT_EQ(event.set(), 0);
  EXPECT_EQ(event.wait(0), 0);
  if (c.manualReset) {
    EXPECT_EQ(event.wait(0), 0) << "a manual-reset event cleared itself";
    ASSERT_EQ(event.reset(), 0);
  }
  expectTimeOut(event, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PDKEventResetTest,
                         ::testing::Values(ResetCase{"ManualClear", true, false},
                                           ResetCase{"ManualSignalled", true, true},
                                           ResetCase{"AutoClear", false, false},
                                           ResetCase{"AutoSignalled", false, true}),
                         [](const ::testing::TestParamInfo<ResetCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(PDKEventTest, TimedWaitRunsOutWithError121) {
  CPDKEvent event(false, false);
  const auto before = std::chrono::steady_clock::now();
  expectTimeOut(event, 20);
  // Returning at once would make every polling loop of the SDK spin.
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(15));
}

class PDKEventWakeTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(PDKEventWakeTest, SetFromAnotherThreadEndsTheWait) {
  CPDKEvent event(false, false);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    event.set();
  });
  EXPECT_EQ(event.wait(GetParam()), 0);
  setter.join();
}

INSTANTIATE_TEST_SUITE_P(Limits, PDKEventWakeTest, ::testing::Values(CPDKEvent::kInfinite, 10000u));

TEST(PDKEventTest, ManualResetReleasesEveryWaiter) {
  CPDKEvent event(true, false);
  std::vector<std::thread> waiters;
  std::atomic<int> released{0};
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (event.wait(CPDKEvent::kInfinite) == 0) ++released;
    });
  }
  ASSERT_EQ(event.set(), 0);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(released, 3);
}

TEST(PDKEventTest, AutoResetReleasesOneWaiterPerSet) {
  CPDKEvent event(false, false);
  std::atomic<int> released{0};
  auto waiter = [&] {
    if (event.wait(CPDKEvent::kInfinite) == 0) ++released;
  };
  std::thread first(waiter);
  std::thread second(waiter);
  ASSERT_EQ(event.set(), 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (released == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(released, 1);
  ASSERT_EQ(event.set(), 0);
  first.join();
  second.join();
  EXPECT_EQ(released, 2);
}

TEST(PDKEventTest, EventsOfOneNameShareTheFirstCreatorsEvent) {
  const std::string name = uniqueName("event");
  CPDKEvent first(true, false, name.c_str());
  CPDKEvent second(false, true, name.c_str());  // kind and initial state ignored now
  expectTimeOut(second, 0);
  ASSERT_EQ(first.set(), 0);
  EXPECT_EQ(second.wait(0), 0);
  EXPECT_EQ(second.wait(0), 0) << "took the auto-reset setting of the second creator";
  ASSERT_EQ(second.reset(), 0);
  expectTimeOut(first, 0);
}

TEST(PDKEventTest, FailedCreationIsReportedAndEveryCallFails) {
  std::vector<std::string> output;
  pdkos::setDebugOutputHook([&output](const char* text) { output.emplace_back(text); });
  const std::string name = uniqueName("clash");
  CPDKMutex mutex;
  ASSERT_EQ(mutex.create(name.c_str(), false), 0);
  CPDKEvent event(true, false, name.c_str());  // the name is a mutex's
  pdkos::setDebugOutputHook({});

  EXPECT_EQ(output, std::vector<std::string>{
                        "ERROR: can't create handle to event in CPDKEvent::CPDKEvent"});
  errno = 0;
  EXPECT_EQ(event.wait(0), -1);
  EXPECT_EQ(errno, pdkos::kErrorInvalidHandle);
  errno = 0;
  EXPECT_EQ(event.set(), -1);
  EXPECT_EQ(errno, pdkos::kErrorInvalidHandle);
  errno = 0;
  EXPECT_EQ(event.reset(), -1);
  EXPECT_EQ(errno, pdkos::kErrorInvalidHandle);
}

}  // namespace
