// The splash window of the start: the product's picture for one second,
// shown modally while the main window sets itself up. Keys do not close it.
#pragma once

#include "GUI/GUIDialog.h"

class CSplashDlg : public CGUIDialog {
 public:
  static constexpr UINT_PTR kCloseTimer = 1;
  static constexpr UINT kShownMs = 1000;

  explicit CSplashDlg(HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  // Enter and Escape do nothing; the timer alone ends the splash.
  void OnOK() override {}
  void OnCancel() override {}
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
