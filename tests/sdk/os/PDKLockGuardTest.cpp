#include "PDKLockGuard.h"

#include <gtest/gtest.h>

#include "PDKCriticalSection.h"
#include "sdk/os/LockProbe.h"

namespace {

class PDKLockGuardTest : public ::testing::Test {
 protected:
  // Another thread trying the section while the test looks on.
  CLockProbe probe() {
    return {[this] { return section_.lock(); }, [this] { return section_.unlock(); }};
  }

  CPDKCriticalSection section_;
};

TEST_F(PDKLockGuardTest, HoldsFromConstructionToDestruction) {
  {
    CPDKLockGuard guard(&section_);
    CLockProbe other = probe();
    EXPECT_FALSE(other.acquiredWithin(kShutOutWindow));
    guard.release();
    EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
  }
  { CPDKLockGuard guard(&section_); }
  CLockProbe after = probe();
  EXPECT_TRUE(after.acquiredWithin(kAcquireLimit)) << "destruction left the section held";
}

TEST_F(PDKLockGuardTest, SecondReleaseDoesNothing) {
  section_.lock();  // held by the test itself besides the guard
  {
    CPDKLockGuard guard(&section_);
    EXPECT_EQ(guard.release(), 0);
    EXPECT_EQ(guard.release(), -1);
  }  // and destruction after a release must not leave either
  CLockProbe other = probe();
  EXPECT_FALSE(other.acquiredWithin(kShutOutWindow)) << "the test's own entry was undone";
  section_.unlock();
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
}

TEST_F(PDKLockGuardTest, LocksAgainAfterRelease) {
  CPDKLockGuard guard(&section_);
  guard.release();
  EXPECT_EQ(guard.lock(), 0);
  CLockProbe other = probe();
  EXPECT_FALSE(other.acquiredWithin(kShutOutWindow));
  EXPECT_EQ(guard.release(), 0);
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
}

TEST_F(PDKLockGuardTest, LockWhileHeldStillNeedsOnlyOneRelease) {
  CPDKLockGuard guard(&section_);
  EXPECT_EQ(guard.lock(), 0);
  EXPECT_EQ(guard.release(), 0);
  CLockProbe other = probe();
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
}

TEST(PDKLockGuardWithoutSection, ReportsReleasedState) {
  CPDKLockGuard guard(nullptr);
  EXPECT_EQ(guard.release(), -1);
  EXPECT_EQ(guard.lock(), -1);
}

}  // namespace
