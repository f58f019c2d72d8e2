#include "ChangeSignal.h"

#include "PDKLockGuard.h"

namespace emu {

namespace {
std::shared_ptr<CPDKEvent> freshEvent() { return std::make_shared<CPDKEvent>(true, false); }
}  // namespace

CChangeSignal::CChangeSignal() : next_(freshEvent()) {}

std::shared_ptr<CPDKEvent> CChangeSignal::next() const {
  CPDKLockGuard guard(&lock_);
  return next_;
}

uint32_t CChangeSignal::millisecondsUntil(std::chrono::steady_clock::time_point when,
                                          std::chrono::steady_clock::time_point now) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
  if (left < 1) return 1;
  if (left >= CPDKEvent::kInfinite) return CPDKEvent::kInfinite - 1;
  return static_cast<uint32_t>(left);
}

void CChangeSignal::notifyAll() {
  std::shared_ptr<CPDKEvent> waking = freshEvent();
  {
    CPDKLockGuard guard(&lock_);
    next_.swap(waking);
  }
  waking->set();
}

}  // namespace emu
