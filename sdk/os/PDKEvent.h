#pragma once

#include <cstdint>

#include "OSTypes.h"

// A manual- or auto-reset event. A name shares the event with every other
// event of that name; the first creator's settings stay in force.
class CPDKEvent {
 public:
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  CPDKEvent(bool manualReset, bool initiallySignalled, const char* name = nullptr);
  virtual ~CPDKEvent();

  CPDKEvent(const CPDKEvent&) = delete;
  CPDKEvent& operator=(const CPDKEvent&) = delete;

  // Waits in real time. 0 when signalled; -1 with errno = pdkos::kErrorSemTimeout
  // on time-out, or another error (pdkos::kErrorInvalidHandle without an event).
  int wait(uint32_t milliseconds);
  int set();    // 0, or -1 with errno
  int reset();  // 0, or -1 with errno

 private:
  static constexpr const char* kCreateFailedText =
      "ERROR: can't create handle to event in CPDKEvent::CPDKEvent";

  pdkos::NativeEventHandle handle_{};
};
