#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Takes a lock on a thread of its own and holds it until the probe is
// destroyed, so a test can see whether and when another thread gets in.
class CLockProbe {
 public:
  CLockProbe(std::function<int()> lock, std::function<int()> unlock);
  ~CLockProbe();  // unlocks (once acquired) and joins

  CLockProbe(const CLockProbe&) = delete;
  CLockProbe& operator=(const CLockProbe&) = delete;

  // True once the lock call has returned 0; waits at most `limit` for it.
  bool acquiredWithin(std::chrono::milliseconds limit);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool acquired_ = false;
  bool done_ = false;
  std::thread thread_;
};

// Long enough that a thread that should be shut out would have got in by then.
constexpr std::chrono::milliseconds kShutOutWindow{30};
// Generous: only a broken lock ever waits this long.
constexpr std::chrono::milliseconds kAcquireLimit{5000};
