#pragma once

#include <atomic>
#include <cstdint>

#include "PDKClock.h"

namespace pdkos {

// Virtual time for tests: sleep() moves time on by its argument at once and
// yields the processor; advance() moves it on from outside. Thread-safe.
class CTestClock : public IClock {
 public:
  explicit CTestClock(uint32_t start = 1000);

  uint32_t tickCount() override;
  void sleep(uint32_t ms) override;
  void advance(uint32_t ms);

 private:
  std::atomic<uint32_t> now_;
};

}  // namespace pdkos
