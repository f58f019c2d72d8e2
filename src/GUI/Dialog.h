// A dialog made from a dialog template resource, modeless (Create) or modal
// (DoModal, with its own message loop). Messages reach virtual handlers:
// OnInitDialog, OnCommand (OK and Cancel go on to OnOK and OnCancel),
// OnNotify, OnTimer, and OnMessage for everything else.
#pragma once

#include <windows.h>

#include "GUI/Wnd.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, HWND parent = nullptr);
  ~CDialog() override;

  // Creates the window from the template, without a loop of its own; it is
  // visible when the template says so. False when the template does not load.
  bool Create();
  // Creates the window, shows it, keeps the parent disabled and runs the modal
  // loop until EndDialog; destroys the window and answers the result, or -1
  // when the window could not be made.
  // `shown` false runs the loop on a window that stays hidden.
  INT_PTR DoModal(bool shown = true);
  // Runs the modal loop on a window that exists already (the main window's
  // way of running); answers the result of EndDialog.
  INT_PTR RunModalLoop();
  // Ends the modal loop with `result`; a window without a loop is destroyed.
  void EndDialog(INT_PTR result);
  bool DestroyWindow();

  // The dialog keyboard (Tab, Enter, Escape) for any window of this
  // framework's dialogs; true when the message was used up.
  static bool PreTranslateMessage(MSG& msg);

  UINT TemplateId() const { return templateId_; }
  HWND Parent() const { return parent_; }
  bool InModalLoop() const { return inModalLoop_; }

  bool SetTimer(UINT_PTR id, UINT milliseconds);
  void KillTimer(UINT_PTR id);

 protected:
  // True lets the dialog put the focus on its first control.
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual bool OnCommand(UINT id, UINT code, HWND control);
  virtual bool OnNotify(const NMHDR& header, LRESULT& result);
  virtual void OnTimer(UINT_PTR id);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A keyboard message of this dialog before the dialog keyboard sees it;
  // true swallows it.
  virtual bool OnPreTranslate(MSG&) { return false; }
  // Every other message; true when handled, with the message's result.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  bool Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  const UINT templateId_;
  const HWND parent_;
  bool inModalLoop_ = false;
  bool loopEnded_ = false;
  INT_PTR result_ = -1;
};
