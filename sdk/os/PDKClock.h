#pragma once

#include <cstdint>

// Every sleep and tick count of the SDK goes through here, so tests can drive time.
namespace pdkos {

class IClock {
 public:
  virtual ~IClock() = default;
  virtual uint32_t tickCount() = 0;
  virtual void sleep(uint32_t ms) = 0;
};

// Milliseconds from an arbitrary start; wraps like GetTickCount.
uint32_t tickCount();
void sleep(uint32_t ms);
// nullptr puts the system clock back. The caller keeps ownership and must keep
// the clock alive while any thread may still be sleeping on it.
void setClock(IClock* clock);

}  // namespace pdkos
