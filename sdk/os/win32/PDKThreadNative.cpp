// The Windows part of CPDKThread.
#include "PDKThread.h"

namespace {
DWORD WINAPI threadEntry(LPVOID self) {
  pdkos::detail::threadMain(*static_cast<CPDKThread*>(self));
  return 0;
}
}  // namespace

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
