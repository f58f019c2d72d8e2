#pragma once

// Native members of the synchronisation classes on POSIX.
#include <memory>
#include <mutex>
#include <thread>

namespace pdkos::posix {
class CNamedMutexState;
class CEventState;
}  // namespace pdkos::posix

namespace pdkos {

using NativeCriticalSection = std::recursive_mutex;
using NativeMutexHandle = std::shared_ptr<posix::CNamedMutexState>;
using NativeEventHandle = std::shared_ptr<posix::CEventState>;
using NativeThread = std::thread;

}  // namespace pdkos
