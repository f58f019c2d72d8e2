// Exclusion and recursion, for every way the SDK shares a lock between threads.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "PDKCriticalSection.h"
#include "PDKMutex.h"
#include "sdk/os/LockProbe.h"
#include "sdk/os/TestNames.h"

namespace {

// One lock seen through two sides: side 0 for one thread, side 1 for another.
class ISharedLock {
 public:
  virtual ~ISharedLock() = default;
  virtual int lock(int side) = 0;
  virtual int unlock(int side) = 0;
};

class CSectionLock : public ISharedLock {
 public:
  int lock(int) override { return section_.lock(); }
  int unlock(int) override { return section_.unlock(); }

 private:
  CPDKCriticalSection section_;
};

// Two mutex objects that must turn out to be one mutex.
class CMutexPair : public ISharedLock {
 public:
  CMutexPair(std::function<void(CPDKMutex&)> first, const char* secondName, bool createFirstNow)
      : first_(createFirstNow) {
    if (first) first(first_);
    EXPECT_EQ(second_.create(secondName, false), 0);
  }
  int lock(int side) override { return side == 0 ? first_.lock() : second_.lock(); }
  int unlock(int side) override { return side == 0 ? first_.unlock() : second_.unlock(); }

 private:
  CPDKMutex first_;
  CPDKMutex second_;
};

struct LockKind {
  const char* name;
  std::function<std::unique_ptr<ISharedLock>()> make;
};

const LockKind kLockKinds[] = {
    {"CriticalSection", [] { return std::make_unique<CSectionLock>(); }},
    {"MutexObjectsWithOneName",
     [] {
       static const std::string name = uniqueName("shared");
       return std::make_unique<CMutexPair>(
           [](CPDKMutex& m) { EXPECT_EQ(m.create(name.c_str(), false), 0); }, name.c_str(), false);
     }},
    {"MutexCreatedAtConstruction",
     [] { return std::make_unique<CMutexPair>(nullptr, "___PDK_MUTEX_DEFAULT_NAME", true); }},
    {"MutexCreatedWithoutName",
     [] {
       return std::make_unique<CMutexPair>(
           [](CPDKMutex& m) { EXPECT_EQ(m.create(nullptr, false), 0); },
           "___PDK_MUTEX_DEFAULT_NAME", false);
     }},
};

std::ostream& operator<<(std::ostream& out, const LockKind& kind) { return out << kind.name; }

class SharedLockTest : public ::testing::TestWithParam<LockKind> {
 protected:
  std::unique_ptr<ISharedLock> lock_ = GetParam().make();
};

TEST_P(SharedLockTest, OwnerMayEnterAgainAndMustLeaveAsOften) {
  ASSERT_EQ(lock_->lock(0), 0);
  ASSERT_EQ(lock_->lock(0), 0);
  CLockProbe other([this] { return lock_->lock(1); }, [this] { return lock_->unlock(1); });
  EXPECT_FALSE(other.acquiredWithin(kShutOutWindow));
  EXPECT_EQ(lock_->unlock(0), 0);
  EXPECT_FALSE(other.acquiredWithin(kShutOutWindow)) << "one unlock released two entries";
  EXPECT_EQ(lock_->unlock(0), 0);
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
}

TEST_P(SharedLockTest, ThreadsNeverOverlapInside) {
  constexpr int kRounds = 300;
  int counter = 0;  // deliberately plain: only the lock protects it
  auto worker = [&](int side) {
    for (int i = 0; i < kRounds; ++i) {
      ASSERT_EQ(lock_->lock(side), 0);
      const int seen = counter;
      std::this_thread::yield();  // invites the other thread in, should the lock fail
      counter = seen + 1;
      ASSERT_EQ(lock_->unlock(side), 0);
    }
  };
  std::thread first(worker, 0);
  std::thread second(worker, 1);
  first.join();
  second.join();
  EXPECT_EQ(counter, 2 * kRounds);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, SharedLockTest, ::testing::ValuesIn(kLockKinds),
                         [](const ::testing::TestParamInfo<LockKind>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
