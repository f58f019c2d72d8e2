#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace pdkos::posix {

// The state behind a CPDKEvent. Waits run on the real clock.
class CEventState {
 public:
  CEventState(bool manualReset, bool signalled);

  CEventState(const CEventState&) = delete;
  CEventState& operator=(const CEventState&) = delete;

  // 0 when signalled in time (an auto-reset event is then cleared), else -1
  // with errno = kErrorSemTimeout. kInfinite waits without limit.
  int wait(uint32_t milliseconds);
  void set();
  void reset();

 private:
  bool ready() const { return signalled_ || handedOver_ > 0; }

  const bool manualReset_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
  // A set() on an auto-reset event with threads waiting releases one of them
  // and leaves the event clear, so two quick set()s release two waiters.
  unsigned waiting_ = 0;
  unsigned handedOver_ = 0;
};

}  // namespace pdkos::posix
