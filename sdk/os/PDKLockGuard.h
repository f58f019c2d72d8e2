#pragma once

class CPDKCriticalSection;

// Holds a critical section for a scope, with an early release and a relock.
class CPDKLockGuard {
 public:
  explicit CPDKLockGuard(CPDKCriticalSection* section);  // locks
  ~CPDKLockGuard();                                      // releases

  CPDKLockGuard(const CPDKLockGuard&) = delete;
  CPDKLockGuard& operator=(const CPDKLockGuard&) = delete;

  // Locks again after a release. While the guard already holds the section it
  // returns 0 without entering a second time, so one release always suffices.
  int lock();
  // Leaves the section once; later calls do nothing and return -1.
  int release();

 private:
  static constexpr int kReleased = -1;

  CPDKCriticalSection* section_;
  int state_ = kReleased;  // result of the last lock, or kReleased
};
