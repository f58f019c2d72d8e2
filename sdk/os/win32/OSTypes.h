#pragma once

// Native members of the synchronisation classes on Windows.
#include <windows.h>

namespace pdkos {

struct NativeCriticalSection {
  CRITICAL_SECTION section;
  bool destroyed = false;  // stops a second DeleteCriticalSection
};

using NativeMutexHandle = HANDLE;
using NativeEventHandle = HANDLE;

struct NativeThread {
  HANDLE handle = nullptr;
  DWORD id = 0;  // Windows 9x refuses CreateThread without somewhere to put the id
};

}  // namespace pdkos
