// Real top-level windows for the tests of the hot-plug window closer: each on
// a thread of its own with a message loop, as another program's windows are.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace hotplugtest {

struct Entry {
  std::string window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Entry& o) const {
    return window == o.window && message == o.message && wParam == o.wParam && lParam == o.lParam;
  }
};

inline std::ostream& operator<<(std::ostream& os, const Entry& e) {
  return os << "{" << e.window << " msg 0x" << std::hex << e.message << " w 0x" << e.wParam
            << " l 0x" << e.lParam << std::dec << "}";
}

// What the test windows received, in order, from every thread.
class MessageLog {
 public:
  void add(Entry entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  std::vector<Entry> entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }

 private:
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

enum class Close { kTakes, kIgnores };
enum class NoButton { kNone, kClosesParent, kDoesNothing };

// A top-level window owned by a thread with a message loop. It records the
// system commands it gets and, when it has a "&No" button, the mouse-button
// messages the button gets. The log entries carry `tag`. It is never shown:
// finding and closing do not depend on it, and with no window manager on the
// test display Wine stalls seconds in destroying a shown window.
class TestWindow {
 public:
  TestWindow(MessageLog& log, std::string tag, std::string title, Close close,
             NoButton button = NoButton::kNone, bool topmost = false)
      : log_(log),
        tag_(std::move(tag)),
        title_(std::move(title)),
        close_(close),
        button_(button),
        topmost_(topmost) {
    thread_ = std::thread([this] { run(); });
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return created_; });
  }
  ~TestWindow() {
    // WM_CLOSE is never refused, only the system command is.
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  HWND handle() const { return window_; }
  bool exists() const { return window_ != nullptr && IsWindow(window_) != FALSE; }

 private:
  static TestWindow* self(HWND window) {
    return reinterpret_cast<TestWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  }

  static LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    TestWindow* me = self(window);
    if (me != nullptr) {
      if (message == WM_SYSCOMMAND) {
        me->log_.add({me->tag_, message, wParam, lParam});
        if (me->close_ == Close::kIgnores && (wParam & 0xFFF0) == SC_CLOSE) return 0;
      }
      if (message == WM_COMMAND && LOWORD(wParam) == IDNO && HIWORD(wParam) == BN_CLICKED &&
          me->button_ == NoButton::kClosesParent) {
        DestroyWindow(window);
        return 0;
      }
    }
    if (message == WM_DESTROY) {
      PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  // The button stays a real button: it turns the clicks into BN_CLICKED itself.
  static LRESULT CALLBACK buttonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    TestWindow* me = self(button);
    if (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK) {
      me->log_.add({me->tag_ + "/No", message, wParam, lParam});
    }
    return CallWindowProcA(me->buttonDefault_, button, message, wParam, lParam);
  }

  void run() {
    static std::atomic<int> classes{0};
    const std::string name = "TovikHotplugTestWindow" + std::to_string(classes++);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = frameProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassExA(&wc);
    HWND window =
        CreateWindowExA(topmost_ ? WS_EX_TOPMOST : 0, name.c_str(), title_.c_str(),
                        WS_OVERLAPPEDWINDOW, 20, 20, 320, 160, nullptr, nullptr, nullptr, this);
    if (window != nullptr && button_ != NoButton::kNone) {
      HWND button =
          CreateWindowExA(0, "BUTTON", "&No", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 80, 24,
                          window, reinterpret_cast<HMENU>(IDNO), nullptr, nullptr);
      SetWindowLongPtrA(button, GWLP_USERDATA, LONG_PTR(this));
      buttonDefault_ = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(button, GWLP_WNDPROC, LONG_PTR(&TestWindow::buttonProc)));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      window_ = window;
      created_ = true;
    }
    ready_.notify_all();
    if (window != nullptr) {
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    UnregisterClassA(name.c_str(), nullptr);
  }

  MessageLog& log_;
  const std::string tag_;
  const std::string title_;
  const Close close_;
  const NoButton button_;
  const bool topmost_;
  WNDPROC buttonDefault_ = nullptr;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool created_ = false;
  HWND window_ = nullptr;
};

}  // namespace hotplugtest

#define ASSERT_WINDOW(w) \
  ASSERT_TRUE((w).exists()) << "no window: under Wine set DISPLAY to a running X server"
