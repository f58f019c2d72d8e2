#include "PDKLockGuard.h"

#include "PDKCriticalSection.h"

CPDKLockGuard::CPDKLockGuard(CPDKCriticalSection* section) : section_(section) { lock(); }

CPDKLockGuard::~CPDKLockGuard() { release(); }

int CPDKLockGuard::lock() {
  if (section_ == nullptr) return kReleased;
  if (state_ != kReleased) return state_;  // already held: a second entry would outlive the guard
  state_ = section_->lock();
  return state_;
}

int CPDKLockGuard::release() {
  if (section_ == nullptr || state_ == kReleased) return kReleased;
  state_ = kReleased;
  return section_->unlock();
}
