#include <windows.h>

#include "SyncWorker.h"

namespace tovik {

struct CSyncWorker::Native {
  HANDLE thread = nullptr;
  DWORD id = 0;  // Windows 9x refuses CreateThread without somewhere to put the id
};

namespace {
DWORD WINAPI workerEntry(LPVOID body) {
  (*static_cast<std::function<void()>*>(body))();
  return 0;
}
}  // namespace

CSyncWorker::CSyncWorker() : native_(std::make_unique<Native>()) {}

CSyncWorker::~CSyncWorker() { join(); }

bool CSyncWorker::start(std::function<void()> body) {
  join();
  body_ = std::move(body);
  native_->thread = CreateThread(nullptr, 0, &workerEntry, &body_, 0, &native_->id);
  return native_->thread != nullptr;
}

void CSyncWorker::join() {
  if (native_->thread == nullptr) return;
  WaitForSingleObject(native_->thread, INFINITE);
  CloseHandle(native_->thread);
  native_->thread = nullptr;
}

}  // namespace tovik
