// The message box with a "Don't show this message next time." check box:
// the notice shown when the drive window is closed. OK stores the box's
// state as "NoCloseNextTime".
#pragma once

#include "GUI/GUIButton.h"
#include "GUI/GUIMessageBoxDlg.h"

class CGUIMessageBoxCheckDlg : public CGUIMessageBoxDlg {
 public:
  explicit CGUIMessageBoxCheckDlg(HWND parent = nullptr);
  ~CGUIMessageBoxCheckDlg() override;

  bool Checked() const { return check_.GetCheck(); }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void RegisterLayout() override;
  RECT PictureRect() const override;

 private:
  CGUIButton check_;
  HFONT checkFont_ = nullptr;
};
