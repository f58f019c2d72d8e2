#include "GUI/Wnd.h"

#include <exception>
#include <vector>

#include "GUI/Trace.h"

namespace {
const char kObjectProperty[] = "TovikWndObject";
}

CWnd::~CWnd() {
  if (previous_ != nullptr) UnsubclassWindow();
  DetachHandle();
}

CWnd* CWnd::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  return static_cast<CWnd*>(GetPropA(window, kObjectProperty));
}

void CWnd::AttachHandle(HWND window) {
  hwnd_ = window;
  SetPropA(window, kObjectProperty, this);
}

void CWnd::DetachHandle() {
  if (hwnd_ != nullptr && FromHandle(hwnd_) == this) RemovePropA(hwnd_, kObjectProperty);
  hwnd_ = nullptr;
}

bool CWnd::SubclassDlgItem(UINT id, HWND parent) {
  return SubclassControl(::GetDlgItem(parent, int(id)));
}

bool CWnd::SubclassControl(HWND window) {
  if (window == nullptr || hwnd_ != nullptr || FromHandle(window) != nullptr) return false;
  AttachHandle(window);
  previous_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
  return true;
}

void CWnd::UnsubclassWindow() {
  if (hwnd_ != nullptr && previous_ != nullptr) {
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  }
  previous_ = nullptr;
  DetachHandle();
}

LRESULT CWnd::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  if (previous_ == nullptr) return DefWindowProcA(hwnd_, message, wParam, lParam);
  return CallWindowProcA(previous_, hwnd_, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

bool CWnd::OnReflected(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool CWnd::ReflectFromParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  try {
    return OnReflected(message, wParam, lParam, result);
  } catch (const std::exception& e) {
    TraceException(__FILE__, __LINE__, e.what());
  } catch (...) {
    TraceException(__FILE__, __LINE__, nullptr);
  }
  return false;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* self = FromHandle(window);
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    WNDPROC previous = self->previous_;
    self->UnsubclassWindow();
    LRESULT result = CallWindowProcA(previous, window, message, wParam, lParam);
    self->PostNcDestroy();
    return result;
  }
  try {
    return self->WindowProc(message, wParam, lParam);
  } catch (const std::exception& e) {
    TraceException(__FILE__, __LINE__, e.what());
  } catch (...) {
    TraceException(__FILE__, __LINE__, nullptr);
  }
  return self->Default(message, wParam, lParam);
}

void CWnd::SetWindowText(const std::string& text) { ::SetWindowTextA(hwnd_, text.c_str()); }

std::string CWnd::GetWindowText() const {
  int length = GetWindowTextLengthA(hwnd_);
  if (length <= 0) return std::string();
  std::vector<char> buffer(size_t(length) + 1);
  int got = ::GetWindowTextA(hwnd_, buffer.data(), int(buffer.size()));
  return std::string(buffer.data(), size_t(got > 0 ? got : 0));
}

RECT CWnd::GetClientRect() const {
  RECT r{};
  ::GetClientRect(hwnd_, &r);
  return r;
}

RECT CWnd::GetRectInParent() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  HWND parent = (GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd_) : nullptr;
  if (parent != nullptr) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void CWnd::Invalidate(bool erase) { InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE); }
