#include "TestClock.h"

#include "OSPlatform.h"

namespace pdkos {

CTestClock::CTestClock(uint32_t start) : now_(start) {}

uint32_t CTestClock::tickCount() { return now_.load(); }

void CTestClock::sleep(uint32_t ms) {
  now_.fetch_add(ms);
  // A thread polling in a sleep loop must still let the others make progress.
  platform::sleep(0);
}

void CTestClock::advance(uint32_t ms) { now_.fetch_add(ms); }

}  // namespace pdkos
