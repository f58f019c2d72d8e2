// The one object behind an SDK accessor, made on first use.
#pragma once

#include <atomic>

#include "PDKCriticalSection.h"
#include "PDKException.h"
#include "PDKLockGuard.h"

namespace pdk {

// Returns the object in slot, making it with make() under guard the first time.
// A missing guard means the SDK is not initialised: code 25.
template <typename T, typename Make>
T& lazyInstance(std::atomic<T*>& slot, CPDKCriticalSection* guard, Make make) {
  if (guard == nullptr) throwNotInitialised();
  if (T* existing = slot.load()) return *existing;
  CPDKLockGuard lock(guard);
  if (slot.load() == nullptr) slot.store(make());
  return *slot.load();
}

}  // namespace pdk
