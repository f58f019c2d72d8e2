#include "EventState.h"

#include <cerrno>
#include <chrono>

#include "OSErrors.h"
#include "PDKEvent.h"

namespace pdkos::posix {

CEventState::CEventState(bool manualReset, bool signalled)
    : manualReset_(manualReset), signalled_(signalled) {}

int CEventState::wait(uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto isReady = [this] { return ready(); };
  ++waiting_;
  bool inTime = true;
  if (milliseconds == CPDKEvent::kInfinite) {
    changed_.wait(lock, isReady);
  } else {
    inTime = changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), isReady);
  }
  --waiting_;
  if (!inTime) {
    errno = kErrorSemTimeout;
    return -1;
  }
  if (handedOver_ > 0) {
    --handedOver_;
  } else if (!manualReset_) {
    signalled_ = false;
  }
  return 0;
}

void CEventState::set() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (manualReset_) {
    signalled_ = true;
    changed_.notify_all();
  } else if (waiting_ > handedOver_) {
    ++handedOver_;
    changed_.notify_one();
  } else {
    signalled_ = true;
  }
}

void CEventState::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

}  // namespace pdkos::posix
