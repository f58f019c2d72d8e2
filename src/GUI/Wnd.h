// The window wrapper of the toolkit's small framework: one object per window,
// found again from the handle, with a virtual window procedure for controls
// that the toolkit takes over (subclasses) after the dialog made them.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }

  // The object attached to a window by this framework, or none.
  static CWnd* FromHandle(HWND window);

  // Takes over the dialog's control `id`: its messages go through WindowProc.
  bool SubclassDlgItem(UINT id, HWND parent);
  bool SubclassControl(HWND window);
  void UnsubclassWindow();

  HWND GetDlgItem(int id) const { return ::GetDlgItem(hwnd_, id); }
  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  RECT GetClientRect() const;
  // The window rectangle in the client coordinates of its parent (or of the
  // screen for a top-level window).
  RECT GetRectInParent() const;
  void Invalidate(bool erase = true);

  // Notifications of the parent about this control (drawing, colours) are
  // handed back to the control itself.
  bool ReflectFromParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Runs after the window is gone; a window that owns its object deletes it here.
  virtual void PostNcDestroy() {}
  // The processing the window would have had without us.
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

  void AttachHandle(HWND window);
  void DetachHandle();

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  WNDPROC previous_ = nullptr;
};
