// Creation rules and failures of the named mutex; exclusion and recursion are
// covered with the other locks in SharedLockTest.
#include "PDKMutex.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>

#include "OSErrors.h"
#include "PDKEvent.h"
#include "sdk/os/LockProbe.h"
#include "sdk/os/TestNames.h"

namespace {

CLockProbe probeOn(CPDKMutex& mutex) {
  return {[&mutex] { return mutex.lock(); }, [&mutex] { return mutex.unlock(); }};
}

TEST(PDKMutexTest, WithoutCreateEveryCallFails) {
  CPDKMutex mutex;
  errno = 0;
  EXPECT_EQ(mutex.lock(), -1);
  EXPECT_EQ(errno, pdkos::kErrorInvalidHandle);
  errno = 0;
  EXPECT_EQ(mutex.unlock(), -1);
  EXPECT_EQ(errno, pdkos::kErrorInvalidHandle);
}

TEST(PDKMutexTest, UnlockWithoutOwningFails) {
  const std::string name = uniqueName("owner");
  CPDKMutex mutex;
  ASSERT_EQ(mutex.create(name.c_str(), false), 0);
  errno = 0;
  EXPECT_EQ(mutex.unlock(), -1);
  EXPECT_EQ(errno, pdkos::kErrorNotOwner);

  ASSERT_EQ(mutex.lock(), 0);
  int otherResult = 0;
  int otherErrno = 0;
  std::thread other([&] {
    otherResult = mutex.unlock();
    otherErrno = errno;
  });
  other.join();
  EXPECT_EQ(otherResult, -1) << "a thread released a mutex another thread owns";
  EXPECT_EQ(otherErrno, pdkos::kErrorNotOwner);
  EXPECT_EQ(mutex.unlock(), 0);
}

TEST(PDKMutexTest, SecondCreateDoesNothing) {
  const std::string name = uniqueName("first");
  const std::string eventName = uniqueName("taken");
  CPDKEvent event(true, false, eventName.c_str());  // a name no mutex can be created under
  CPDKMutex probe;
  errno = 0;
  ASSERT_EQ(probe.create(eventName.c_str(), false), -1);
  EXPECT_EQ(errno, pdkos::kErrorInvalidHandle);

  CPDKMutex mutex;
  ASSERT_EQ(mutex.create(name.c_str(), false), 0);
  EXPECT_EQ(mutex.create(eventName.c_str(), true), 0);
  // Still the first mutex, and not owned through the second call.
  errno = 0;
  EXPECT_EQ(mutex.unlock(), -1);
  EXPECT_EQ(errno, pdkos::kErrorNotOwner);
  CPDKMutex sameName;
  ASSERT_EQ(sameName.create(name.c_str(), false), 0);
  ASSERT_EQ(mutex.lock(), 0);
  CLockProbe other = probeOn(sameName);
  EXPECT_FALSE(other.acquiredWithin(kShutOutWindow));
  EXPECT_EQ(mutex.unlock(), 0);
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
}

TEST(PDKMutexTest, InitialOwnerOwnsANewMutexOnce) {
  const std::string name = uniqueName("initial");
  CPDKMutex mutex;
  ASSERT_EQ(mutex.create(name.c_str(), true), 0);
  CPDKMutex sameName;
  ASSERT_EQ(sameName.create(name.c_str(), false), 0);
  CLockProbe other = probeOn(sameName);
  EXPECT_FALSE(other.acquiredWithin(kShutOutWindow));
  EXPECT_EQ(mutex.unlock(), 0);
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
}

TEST(PDKMutexTest, InitialOwnerOfAnExistingMutexGetsNothing) {
  const std::string name = uniqueName("existing");
  CPDKMutex first;
  ASSERT_EQ(first.create(name.c_str(), false), 0);
  CPDKMutex second;
  ASSERT_EQ(second.create(name.c_str(), true), 0);
  errno = 0;
  EXPECT_EQ(second.unlock(), -1);
  EXPECT_EQ(errno, pdkos::kErrorNotOwner);
}

TEST(PDKMutexTest, OwnershipBelongsToTheThreadNotTheObject) {
  const std::string name = uniqueName("thread");
  CPDKMutex first;
  CPDKMutex second;
  ASSERT_EQ(first.create(name.c_str(), false), 0);
  ASSERT_EQ(second.create(name.c_str(), false), 0);
  ASSERT_EQ(first.lock(), 0);
  ASSERT_EQ(second.lock(), 0);  // the same thread: enters again at once
  EXPECT_EQ(first.unlock(), 0);
  EXPECT_EQ(first.unlock(), 0);
  CLockProbe other = probeOn(second);
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
}

TEST(PDKMutexTest, NameOutlivesAnyOneObject) {
  const std::string name = uniqueName("lifetime");
  CPDKMutex survivor;
  ASSERT_EQ(survivor.create(name.c_str(), false), 0);
  {
    CPDKMutex shortLived;
    ASSERT_EQ(shortLived.create(name.c_str(), false), 0);
  }
  CPDKMutex later;
  ASSERT_EQ(later.create(name.c_str(), false), 0);
  ASSERT_EQ(survivor.lock(), 0);
  CLockProbe other = probeOn(later);
  EXPECT_FALSE(other.acquiredWithin(kShutOutWindow));
  EXPECT_EQ(survivor.unlock(), 0);
  EXPECT_TRUE(other.acquiredWithin(kAcquireLimit));
}

}  // namespace
