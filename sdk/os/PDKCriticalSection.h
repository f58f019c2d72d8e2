#pragma once

#include "OSTypes.h"

// A recursive in-process lock: the owning thread may enter again and must
// leave as often as it entered.
class CPDKCriticalSection {
 public:
  CPDKCriticalSection();
  virtual ~CPDKCriticalSection();

  CPDKCriticalSection(const CPDKCriticalSection&) = delete;
  CPDKCriticalSection& operator=(const CPDKCriticalSection&) = delete;

  int lock();    // returns 0
  int unlock();  // returns 0

 private:
  pdkos::NativeCriticalSection section_;
};
