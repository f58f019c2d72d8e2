// The store's named mutex: operations of two stores never interleave their page
// traffic, and an outside holder of the mutex keeps the store waiting.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CookieImpl.h"
#include "PDKMutex.h"
#include "StoreFixture.h"

namespace {

class CookieConcurrencyTest : public StoreFixture {};

TEST_F(CookieConcurrencyTest, TwoStoresWritingAtOnceLoseNothingAndDoNotInterleave) {
  constexpr int kPerThread = 12;
  auto worker = [this](const char* section) {
    CCookieImpl own(nt, driveE());
    for (int i = 0; i < kPerThread; ++i) {
      EXPECT_EQ(own.setString(section, ("k" + std::to_string(i)).c_str(), section), 0);
    }
  };
  std::thread a(worker, "A"), b(worker, "B");
  a.join();
  b.join();

  // Every value of both threads survived: no page was written from a stale copy.
  for (const char* section : {"A", "B"}) {
    for (int i = 0; i < kPerThread; ++i) {
      char buffer[8] = {};
      uint32_t size = sizeof buffer;
      EXPECT_EQ(store.getString(section, ("k" + std::to_string(i)).c_str(), buffer, size), 0)
          << section << i;
      EXPECT_STREQ(buffer, section);
    }
  }
  // Each reload reads pages 1 to 31 in one run; another operation's commands
  // inside such a run would show as a break in the sequence. (A lone read of
  // page 1 followed by a write is the probe for a new page, not a reload.)
  bool inRun = false;
  uint16_t expected = 0;
  int runs = 0;
  for (const VendorCall& c : vendorCalls()) {
    if (inRun) {
      if (c.subCode == 0x0131 && c.page == expected) {
        if (++expected == 32) {
          inRun = false;
          ++runs;
        }
        continue;
      }
      ASSERT_EQ(expected, 2) << "a command of another operation inside a reload";
      inRun = false;
    }
    if (c.subCode == 0x0131 && c.page == 1 && c.tryWord == 0) {
      inRun = true;
      expected = 2;
    }
  }
  EXPECT_GE(runs, 2 * kPerThread);
}

TEST_F(CookieConcurrencyTest, AHolderOfTheNamedMutexKeepsTheStoreWaiting) {
  CPDKMutex held;
  ASSERT_EQ(held.create("__Cookies_Mutex_Name__", false), 0);
  ASSERT_EQ(held.lock(), 0);
  const uint64_t before = drive.commandCount();
  std::atomic<bool> done{false};
  std::thread user([&] {
    EXPECT_EQ(store.setString("S", "N", "v"), 0);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done.load());
  EXPECT_EQ(drive.commandCount(), before) << "the store reached the drive without the mutex";
  ASSERT_EQ(held.unlock(), 0);
  user.join();
  EXPECT_TRUE(done.load());
  EXPECT_GT(drive.commandCount(), before);
}

}  // namespace
