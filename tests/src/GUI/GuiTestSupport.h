// Shared pieces of the GUI tests: a message pump that keeps the framework's
// dialog keyboard, a skinned test dialog whose opening code the test writes,
// and window rectangles in client pixels.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "GUI/Dialog.h"
#include "GUI/GUIDialog.h"
#include "GuiTestIds.h"

namespace guitest {

// Runs the thread's messages for `ms` milliseconds, or until `done` holds.
inline bool Pump(DWORD ms, const std::function<bool()>& done = nullptr) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return false;
      if (CDialog::PreTranslateMessage(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done && done()) return true;
    if (GetTickCount() - start >= ms) return done ? done() : true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
  }
}

inline RECT RectIn(HWND control, HWND dialog) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

inline ::testing::AssertionResult SameRect(const RECT& got, const RECT& want) {
  if (EqualRect(&got, &want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got (" << got.left << ", " << got.top << ", " << got.right << ", " << got.bottom
         << "), want (" << want.left << ", " << want.top << ", " << want.right << ", "
         << want.bottom << ")";
}

// The layout test dialog: `init` registers the controls; the base opening
// step runs before it and the skin and layout after it.
class TestDialog : public CGUIDialog {
 public:
  TestDialog(UINT skin, std::function<void(TestDialog&)> init)
      : CGUIDialog(IDD_TEST_LAYOUT), skin_(skin), init_(std::move(init)) {}

  std::vector<UINT> commands;
  SIZE templateSize{};

 protected:
  BOOL OnInitDialog() override {
    CGUIDialog::OnInitDialog();
    RECT window{};
    GetWindowRect(hwnd_, &window);
    templateSize = SIZE{Width(window), Height(window)};
    SetSkin(skin_);
    if (init_) init_(*this);
    ApplySkinAndLayout();
    return TRUE;
  }
  bool OnCommand(UINT id, UINT code, HWND control) override {
    if (code == BN_CLICKED) commands.push_back(id);
    return CGUIDialog::OnCommand(id, code, control);
  }

 private:
  UINT skin_;
  std::function<void(TestDialog&)> init_;
};

}  // namespace guitest

#define ASSERT_DISPLAY(hwnd) \
  ASSERT_NE((hwnd), nullptr) << "no window: under Wine set DISPLAY to a running X server"
