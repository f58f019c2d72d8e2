#include "SplashDlg.h"

#include "resource.h"

CSplashDlg::CSplashDlg(HWND parent) : CGUIDialog(IDD_SPLASH_DIALOG, parent) {}

BOOL CSplashDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetSkin(IDG_SPLASH_SKIN);
  ApplySkinAndLayout();
  CenterWindow();
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetTimer(kCloseTimer, kShownMs);
  return TRUE;
}

void CSplashDlg::OnTimer(UINT_PTR id) {
  if (id != kCloseTimer) return;
  KillTimer(kCloseTimer);
  EndDialog(IDOK);
}

bool CSplashDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
    result = 0;
    return true;
  }
  return CGUIDialog::OnMessage(message, wParam, lParam, result);
}
