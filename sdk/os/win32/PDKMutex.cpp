#include "PDKMutex.h"

#include <cerrno>

namespace {
int failWithLastError() {
  errno = static_cast<int>(GetLastError());
  return -1;
}
}  // namespace

CPDKMutex::CPDKMutex(bool createNow) {
  if (createNow) create(nullptr, false);
}

CPDKMutex::~CPDKMutex() {
  if (!created_ || closed_) return;
  CloseHandle(handle_);
  closed_ = true;
}

int CPDKMutex::create(const char* name, bool initialOwner) {
  if (created_) return 0;
  HANDLE handle =
      CreateMutexA(nullptr, initialOwner ? TRUE : FALSE, name != nullptr ? name : kDefaultName);
  if (handle == nullptr) return failWithLastError();
  handle_ = handle;
  created_ = true;
  return 0;
}

int CPDKMutex::lock() {
  const DWORD result = WaitForSingleObject(handle_, INFINITE);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return 0;
  return failWithLastError();
}

int CPDKMutex::unlock() { return ReleaseMutex(handle_) ? 0 : failWithLastError(); }
