#include "sdk/os/LockProbe.h"

CLockProbe::CLockProbe(std::function<int()> lock, std::function<int()> unlock) {
  thread_ = std::thread([this, lock = std::move(lock), unlock = std::move(unlock)] {
    const bool locked = lock() == 0;
    std::unique_lock<std::mutex> guard(mutex_);
    acquired_ = locked;
    changed_.notify_all();
    changed_.wait(guard, [this] { return done_; });
    if (locked) unlock();
  });
}

CLockProbe::~CLockProbe() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    done_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool CLockProbe::acquiredWithin(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> guard(mutex_);
  return changed_.wait_for(guard, limit, [this] { return acquired_; });
}
