#include <system_error>
#include <thread>

#include "SyncWorker.h"

namespace tovik {

struct CSyncWorker::Native {
  std::thread thread;
};

CSyncWorker::CSyncWorker() : native_(std::make_unique<Native>()) {}

CSyncWorker::~CSyncWorker() { join(); }

bool CSyncWorker::start(std::function<void()> body) {
  join();
  body_ = std::move(body);
  try {
    native_->thread = std::thread([this] { body_(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void CSyncWorker::join() {
  if (native_->thread.joinable()) native_->thread.join();
}

}  // namespace tovik
