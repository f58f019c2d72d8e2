#include "PDKEvent.h"

#include <cerrno>

#include "DebugOutput.h"
#include "OSErrors.h"

namespace {
int failWithLastError() {
  errno = static_cast<int>(GetLastError());
  return -1;
}
}  // namespace

CPDKEvent::CPDKEvent(bool manualReset, bool initiallySignalled, const char* name) {
  handle_ =
      CreateEventA(nullptr, manualReset ? TRUE : FALSE, initiallySignalled ? TRUE : FALSE, name);
  if (handle_ == nullptr) pdkos::debugOutput(kCreateFailedText);
}

CPDKEvent::~CPDKEvent() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

int CPDKEvent::wait(uint32_t milliseconds) {
  const DWORD result = WaitForSingleObject(handle_, milliseconds);
  if (result == WAIT_OBJECT_0) return 0;
  if (result == WAIT_TIMEOUT) {
    errno = pdkos::kErrorSemTimeout;
    return -1;
  }
  return failWithLastError();
}

int CPDKEvent::set() { return SetEvent(handle_) ? 0 : failWithLastError(); }

int CPDKEvent::reset() { return ResetEvent(handle_) ? 0 : failWithLastError(); }
