#include "DiskMonitore.h"

#include <cstdio>

#include "GUI/Trace.h"

namespace {
// How long a stop waits between two knocks on the worker.
constexpr DWORD kStopStepMs = 300;
}  // namespace

std::string CDiskMonitor::StopEventName(const CDiskMonitor* monitor) {
  char name[64];
  std::snprintf(name, sizeof name, "TovikDiskMonitorStop-%lu-%p", GetCurrentProcessId(),
                static_cast<const void*>(monitor));
  return name;
}

CDiskMonitor::CDiskMonitor()
    : CPDKThread(kStopStepMs),
      m_stop(false, false, StopEventName(this).c_str()),
      m_stopWait(OpenEventA(SYNCHRONIZE, FALSE, StopEventName(this).c_str())) {}

CDiskMonitor::~CDiskMonitor() {
  StopDirectoryMonitor("destroyed");
  // A worker that ended by itself has let go of everything but its thread.
  stop();
  if (m_stopWait != nullptr) CloseHandle(m_stopWait);
}

bool CDiskMonitor::StartDirectoryMonitor(const std::string& path, HWND window) {
  try {
    if (isRunning()) return true;
    if (m_stopWait == nullptr) return false;
    // The previous worker may have ended by itself: its thread goes first.
    stop();
    const HANDLE change = FindFirstChangeNotificationA(path.c_str(), TRUE, kFilter);
    if (change == INVALID_HANDLE_VALUE || change == nullptr) return false;
    m_change = change;
    m_window = window;
    m_path = path;
    m_finished = false;
    start();
    if (!isRunning()) {
      CloseNotification();
      m_finished = true;
      return false;
    }
    return true;
  } catch (...) {
    TraceError(__FILE__, __LINE__, "StartDirectoryMonitor fail");
    return false;
  }
}

bool CDiskMonitor::StopDirectoryMonitor(const char* /*reason*/) {
  try {
    if (!isRunning()) return true;
    m_stop.set();
    setRunFlag(false);
    // The stop event resets itself: a worker that took it while still told
    // to run is knocked on again until it has ended.
    while (!m_finished) {
      m_stop.set();
      Sleep(kStopStepMs);
    }
    stop();
    m_stop.reset();
    return true;
  } catch (...) {
    TraceError(__FILE__, __LINE__, "StopDirectoryMonitor fail");
    return false;
  }
}

void CDiskMonitor::CloseNotification() {
  if (m_change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(m_change);
  m_change = INVALID_HANDLE_VALUE;
  m_path.clear();
}

void CDiskMonitor::run() {
  while (runFlag()) {
    const HANDLE handles[2] = {m_change, m_stopWait};
    const DWORD fired = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (fired == WAIT_OBJECT_0) {
      PostMessageA(m_window, WM_DIRECTORY_CHANGED, reinterpret_cast<WPARAM>(m_path.c_str()), 0);
      if (!FindNextChangeNotification(m_change)) {
        PostMessageA(m_window, WM_DIRECTORY_MONITOR_ENDED, 0, 0);
        // Nothing left to wait on: the watch is over until the next start.
        setRunFlag(false);
      }
    } else if (fired != WAIT_OBJECT_0 + 1) {
      setRunFlag(false);
    }
  }
  CloseNotification();
  m_finished = true;
}
