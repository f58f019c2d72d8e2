// The About window: product name and logo, the program's product version
// read from its own version resource, the SDK's version, a note and the
// support address. A click anywhere but the caption bar closes it.
#pragma once

#include <string>

#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"
#include "GUI/Picture.h"

class CAboutDlg : public CGUIDialog {
 public:
  static constexpr COLORREF kProductColor = RGB(170, 145, 127);

  // `sdkVersion` is the SDK's version text (empty leaves its line blank);
  // `programPath` the file whose version resource is shown.
  CAboutDlg(HWND parent, const std::string& programPath, const std::string& sdkVersion);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void PaintOverSkin(HDC dc) override;

 private:
  const std::string programPath_;
  const std::string sdkVersion_;
  CPicture logo_;
  CGUILabel caption_, product_, version_, sdk_, moreHeading_, more_, link_;
  CGUIButton close_;
};
