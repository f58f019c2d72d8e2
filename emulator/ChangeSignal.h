// Wakes every thread waiting for a change of some state, as a condition
// variable would, built from the SDK's events so it runs on every Windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "PDKCriticalSection.h"
#include "PDKEvent.h"

namespace emu {

class CChangeSignal {
 public:
  CChangeSignal();

  // The event the next notifyAll() sets. A waiter takes it before it looks at
  // the state, so a change made after the look still wakes it.
  std::shared_ptr<CPDKEvent> next() const;
  // Sets the event of everyone waiting; later waiters get a fresh one.
  void notifyAll();

  // Waits until ready() holds, at most timeout; ready() is asked again after
  // every change and must take whatever lock the state needs itself.
  template <typename Ready>
  bool waitFor(std::chrono::milliseconds timeout, Ready ready) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const std::shared_ptr<CPDKEvent> event = next();
      if (ready()) return true;
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      event->wait(millisecondsUntil(deadline, now));
    }
  }

  // At least 1: a wait of 0 would spin until the deadline.
  static uint32_t millisecondsUntil(std::chrono::steady_clock::time_point when,
                                    std::chrono::steady_clock::time_point now);

 private:
  mutable CPDKCriticalSection lock_;
  std::shared_ptr<CPDKEvent> next_;
};

}  // namespace emu
