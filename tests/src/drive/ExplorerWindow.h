// A folder window as Explorer opens one on a drive: a top-level window of the
// class Explorer's folder windows have, titled with the folder's path, showing
// the folder through the shell's own browser control. It runs on a thread of
// its own, as Explorer's windows run in a process of their own, so what is
// posted to close it reaches its loop and no other; and it goes when told to
// close, as Explorer's windows do.
#pragma once

#include <windows.h>

#include <string>

namespace drivetest {

class ExplorerWindow {
 public:
  explicit ExplorerWindow(const std::string& folder);
  ~ExplorerWindow();
  ExplorerWindow(const ExplorerWindow&) = delete;
  ExplorerWindow& operator=(const ExplorerWindow&) = delete;

  // The window is there and its browser shows the folder's contents.
  bool Showing() const { return showing_; }
  // The window has been closed and its thread has let go of the folder.
  bool Gone() const;
  // Whether the window had been told to close before this call, however far
  // its thread has got: a message posted now reaches only a window that was
  // not told to close first, as the window's messages come in order.
  bool ToldToClose() const;

 private:
  static DWORD WINAPI Run(void* self);
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  const std::string folder_;
  HANDLE ready_;
  HANDLE thread_ = nullptr;
  HWND hwnd_ = nullptr;
  bool showing_ = false;
};

}  // namespace drivetest
