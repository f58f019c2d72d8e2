#pragma once

#include <atomic>
#include <cstdint>

#include "OSTypes.h"
#include "PDKEvent.h"

class CPDKThread;

namespace pdkos::detail {
// The thread routine; the platform's entry point calls it.
void threadMain(CPDKThread& thread);
}  // namespace pdkos::detail

// Base of the SDK's worker threads. start() and stop() belong to one
// controlling thread.
class CPDKThread {
 public:
  explicit CPDKThread(uint32_t periodMs);
  // A subclass must stop() in its own destructor: the body may not outlive it.
  virtual ~CPDKThread();

  CPDKThread(const CPDKThread&) = delete;
  CPDKThread& operator=(const CPDKThread&) = delete;

  // Starts the body unless it is running; returns once it has begun.
  void start();
  // Clears the run flag and waits, sleeping in steps of the period on the SDK
  // clock, until the body has ended. Called from the body it only clears the flag.
  void stop();
  bool isRunning() const;  // the run flag

  // Runs body(argument) on a thread of its own that nobody waits for; false
  // when no thread could be started (body is then not called).
  static bool runDetached(void (*body)(void*), void* argument);

 protected:
  virtual void run() = 0;  // loops while runFlag() is true
  bool runFlag() const;
  void setRunFlag(bool on);
  uint32_t period() const;

 private:
  friend void pdkos::detail::threadMain(CPDKThread& thread);

  // Platform part.
  bool launch();           // starts a thread that calls threadMain(*this)
  void waitForPrevious();  // waits until an earlier thread has fully returned
  void closeNative();      // lets go of the thread

  std::atomic<bool> run_{false};
  std::atomic<bool> finished_{true};
  uint32_t period_;
  CPDKEvent started_{true, false};
  // Tells start() the body has begun. started_ alone cannot: a short body may
  // have cleared it again before start() looks.
  CPDKEvent begun_{false, false};
  pdkos::NativeThread native_{};
};
