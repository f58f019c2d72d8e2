#include "PDKClock.h"

#include <atomic>

#include "OSPlatform.h"

namespace {
std::atomic<pdkos::IClock*> gClock{nullptr};
}  // namespace

namespace pdkos {

uint32_t tickCount() {
  IClock* clock = gClock.load();
  return clock != nullptr ? clock->tickCount() : platform::tickCount();
}

void sleep(uint32_t ms) {
  IClock* clock = gClock.load();
  if (clock != nullptr) {
    clock->sleep(ms);
  } else {
    platform::sleep(ms);
  }
}

void setClock(IClock* clock) { gClock.store(clock); }

}  // namespace pdkos
