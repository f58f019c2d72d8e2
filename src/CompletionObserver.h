// What a dialog hands to a drive operation that may end on the SDK's own
// thread: the outcome is posted to the dialog's window as `message` with
// wParam kSucceeded or kFailed, so the dialog handles it on its own thread.
#pragma once

#include <windows.h>

#include "GUI/Wnd.h"
#include "sdk/PDKSDK.h"

class CCompletionObserver : public IDepositNotify {
 public:
  static constexpr WPARAM kSucceeded = 1;
  static constexpr WPARAM kFailed = 2;

  // The window is read when the drive reports, so it may be made later.
  CCompletionObserver(const CWnd& window, UINT message) : window_(window), message_(message) {}

  void onProgress(int) override {}
  void onFormatDone() override {}
  void onError(int, const char*) override { Post(kFailed); }
  void onCompleted() override { Post(kSucceeded); }
  void onReconnectFailed(int, const char*) override { Post(kFailed); }

 private:
  void Post(WPARAM outcome) { PostMessageA(window_.GetSafeHwnd(), message_, outcome, 0); }

  const CWnd& window_;
  const UINT message_;
};
