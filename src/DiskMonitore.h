// Watches a drive's root and its whole tree and tells a window of changes,
// so the drive view can refresh its free space. One worker thread per
// monitor waits on the system's change notification.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "PDKEvent.h"
#include "PDKThread.h"

// Posted to the window: something changed (wParam: the watched path's text).
constexpr UINT WM_DIRECTORY_CHANGED = WM_USER + 56;
// Posted to the window: the watch could not go on and has ended.
constexpr UINT WM_DIRECTORY_MONITOR_ENDED = WM_USER + 57;

class CDiskMonitor : private CPDKThread {
 public:
  static constexpr DWORD kFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                   FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                                   FILE_NOTIFY_CHANGE_LAST_WRITE;

  CDiskMonitor();
  ~CDiskMonitor() override;

  // True at once while watching; false when the path cannot be watched.
  bool StartDirectoryMonitor(const std::string& path, HWND window);
  // Ends the watch and waits for the worker; `reason` is for the reader only.
  bool StopDirectoryMonitor(const char* reason);
  bool IsRunning() const { return isRunning(); }

 private:
  void run() override;
  void CloseNotification();
  static std::string StopEventName(const CDiskMonitor* monitor);

  HWND m_window = nullptr;
  std::string m_path;
  HANDLE m_change = INVALID_HANDLE_VALUE;
  // Auto-reset, not signalled. Named only so the worker can wait on it
  // beside the change notification through a system handle of its own.
  CPDKEvent m_stop;
  HANDLE m_stopWait = nullptr;
  std::atomic<bool> m_finished{true};
};
