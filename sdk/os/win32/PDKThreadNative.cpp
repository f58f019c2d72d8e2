// The Windows part of CPDKThread.
#include "PDKThread.h"

#include <memory>

namespace {
DWORD WINAPI threadEntry(LPVOID self) {
  pdkos::detail::threadMain(*static_cast<CPDKThread*>(self));
  return 0;
}

struct DetachedBody {
  void (*body)(void*);
  void* argument;
};

DWORD WINAPI detachedEntry(LPVOID start) {
  const std::unique_ptr<DetachedBody> detached(static_cast<DetachedBody*>(start));
  detached->body(detached->argument);
  return 0;
}
}  // namespace

bool CPDKThread::runDetached(void (*body)(void*), void* argument) {
  auto start = std::make_unique<DetachedBody>(DetachedBody{body, argument});
  DWORD id = 0;  // Windows 9x refuses CreateThread without somewhere to put the id
  const HANDLE thread = CreateThread(nullptr, 0, &detachedEntry, start.get(), 0, &id);
  if (thread == nullptr) return false;
  start.release();  // the thread owns it now
  CloseHandle(thread);
  return true;
}

bool CPDKThread::launch() {
  native_.handle = CreateThread(nullptr, 0, &threadEntry, this, 0, &native_.id);
  return native_.handle != nullptr;
}

void CPDKThread::waitForPrevious() {
  if (native_.handle == nullptr) return;
  WaitForSingleObject(native_.handle, INFINITE);
  closeNative();
}

void CPDKThread::closeNative() {
  if (native_.handle == nullptr) return;
  CloseHandle(native_.handle);
  native_ = pdkos::NativeThread{};
}
