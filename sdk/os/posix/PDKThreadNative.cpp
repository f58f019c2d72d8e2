// The POSIX part of CPDKThread.
#include "PDKThread.h"

#include <system_error>

bool CPDKThread::launch() {
  try {
    native_ = std::thread([this] { pdkos::detail::threadMain(*this); });
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

bool CPDKThread::runDetached(void (*body)(void*), void* argument) {
  try {
    std::thread([body, argument] { body(argument); }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void CPDKThread::waitForPrevious() {
  if (native_.joinable()) native_.join();
}

void CPDKThread::closeNative() {
  if (!native_.joinable()) return;
  // A thread that has finished, or has been told to, is joined. One still
  // running (the subclass never stopped it) is let go, as closing its Windows
  // handle would.
  if (finished_.load() || !run_.load()) {
    native_.join();
  } else {
    native_.detach();
  }
}
