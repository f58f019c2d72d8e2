// Shared pieces of the GUI tests: a message pump that keeps the framework's
// dialog keyboard, a skinned test dialog whose opening code the test writes,
// and window rectangles in client pixels.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
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

// A thread timer (one without a window) that calls `tick` with its id on every
// period, from whatever message loop runs; KillThreadTimer ends it.
inline std::map<UINT_PTR, std::function<void(UINT_PTR)>>& ThreadTimers() {
  static std::map<UINT_PTR, std::function<void(UINT_PTR)>> timers;
  return timers;
}
inline void CALLBACK ThreadTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto found = ThreadTimers().find(id);
  if (found == ThreadTimers().end()) return;
  auto tick = found->second;  // the call may end its own timer
  tick(id);
}
inline UINT_PTR ThreadTimer(UINT ms, std::function<void(UINT_PTR)> tick) {
  const UINT_PTR id = SetTimer(nullptr, 0, ms, ThreadTimerProc);
  if (id != 0) ThreadTimers()[id] = std::move(tick);
  return id;
}
inline void KillThreadTimer(UINT_PTR id) {
  KillTimer(nullptr, id);
  ThreadTimers().erase(id);
}

// Runs `dialog` modally; `script` runs once, from the modal loop, as soon as
// the dialog's window is visible, and drives it with messages.
inline INT_PTR RunModal(CDialog& dialog, std::function<void(HWND)> script) {
  const UINT_PTR timer = ThreadTimer(10, [&dialog, &script](UINT_PTR id) {
    HWND window = dialog.GetSafeHwnd();
    if (window == nullptr || !IsWindowVisible(window)) return;
    KillThreadTimer(id);
    script(window);
  });
  const INT_PTR result = dialog.DoModal();
  KillThreadTimer(timer);
  return result;
}

// The pixels of a window as the screen shows them (0x00RRGGBB, rows top-down).
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  COLORREF At(int x, int y) const {
    const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
};

inline Capture CaptureWindow(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  Capture shot;
  shot.width = r.right - r.left;
  shot.height = r.bottom - r.top;
  shot.pixels.resize(size_t(shot.width) * size_t(shot.height));
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = shot.width;
  format.bmiHeader.biHeight = -shot.height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, shot.width, shot.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::memcpy(shot.pixels.data(), bits, shot.pixels.size() * sizeof(uint32_t));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
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
