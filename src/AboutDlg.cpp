#include "AboutDlg.h"

#include <windows.h>

#include <shellapi.h>

#include "GUI/Application.h"
#include "StringLoader.h"
#include "VersionInfo.h"
#include "resource.h"
#include "strings.h"

namespace {
// The skin's light red wash behind name, logo and versions, and its panel.
const COLORREF kWash = RGB(250, 236, 236);
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(32, 32, 32);
const COLORREF kLink = RGB(0, 0, 204);
const RECT kLogoRect{21, 39, 69, 85};
}  // namespace

CAboutDlg::CAboutDlg(HWND parent, const std::string& programPath, const std::string& sdkVersion)
    : CGUIDialog(IDD_ABOUT_DIALOG, parent), programPath_(programPath), sdkVersion_(sdkVersion) {}

BOOL CAboutDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetIconResource(IDI_APPLICATION_ICON);
  SetSkin(IDG_ABOUT_SKIN);
  SetControlInfo(IDC_CAPTION_CTL, "IDC_CAPTION_CTL", 1, 19, 1, 384);
  SetControlInfo(IDC_CLOSE_BUTTON, "IDC_CLOSE_BUTTON", 3, 16, 367, 380);
  // The name starts right of the logo, so that neither covers the other, and
  // is small enough to stay on its one line.
  SetControlInfo(IDC_PRODUCT_NAME, "IDC_PRODUCT_NAME", 37, 66, 77, 370);
  SetControlInfo(IDC_PRODUCT_LOGO, "IDC_PRODUCT_LOGO", kLogoRect.top, kLogoRect.bottom,
                 kLogoRect.left, kLogoRect.right);
  SetControlInfo(IDC_VERSIO_INFO, "IDC_VERSIO_INFO", 80, 98, 89, 307);
  SetControlInfo(IDC_SDK_VERSIO_INFO, "IDC_SDK_VERSIO_INFO", 106, 124, 45, 351);
  SetControlInfo(IDC_ADDITIONAL_INFO_STR, "IDC_ADDITIONAL_INFO_STR", 138, 154, 21, 311);
  SetControlInfo(IDC_ADDITIONAL_INFO, "IDC_ADDITIONAL_INFO", 159, 250, 21, 365);
  ApplySkinAndLayout();
  SetShape(IDB_ABOUT_SHAPE);

  const std::string caption = CStringLoader::LoadString(IDS_ABOUT_CAPTION);
  SetWindowText(caption);
  SetupCaptionBar(caption_, IDC_CAPTION_CTL, caption);
  close_.Attach(hwnd_, IDC_CLOSE_BUTTON);
  close_.SetCloseBitmaps();
  logo_.Load(CApplication::ResourceHandle(), IDG_PRODUCT_LOGO, "GIF");

  struct Line {
    CGUILabel& label;
    UINT id;
    std::string text;
    COLORREF background;
    COLORREF color;
    bool bold;
    int height;  // tenths of a point
  };
  const std::string sdk =
      sdkVersion_.empty() ? " " : CStringLoader::LoadString(IDS_ABOUT_SDK_VERSION) + sdkVersion_;
  const Line lines[] = {
      {product_, IDC_PRODUCT_NAME, CStringLoader::LoadString(IDS_ABOUT_PRODUCT), kWash,
       kProductColor, true, 110},
      {version_, IDC_VERSIO_INFO,
       CStringLoader::LoadString(IDS_ABOUT_VERSION) + CVersionInfo::VersionText(programPath_),
       kWash, kText, true, 100},
      {sdk_, IDC_SDK_VERSIO_INFO, sdk, kWash, kText, true, 100},
      {moreHeading_, IDC_ADDITIONAL_INFO_STR, CStringLoader::LoadString(IDS_ABOUT_MORE), kPanel,
       kText, true, 80},
      {more_, IDC_ADDITIONAL_INFO, CStringLoader::LoadString(IDS_ABOUT_NOTE), kPanel, kText, false,
       80},
      {link_, IDC_SUPPORT_LINK, CStringLoader::LoadString(IDS_URL_SUPPORT), kPanel, kLink, false,
       80},
  };
  for (const Line& line : lines) {
    line.label.SubclassDlgItem(line.id, hwnd_);
    line.label.SetBackgroundColor(line.background);
    line.label.SetTextColor(line.color);
    line.label.SetBold(line.bold);
    line.label.SetFontHeight(line.height);
    line.label.SetText(line.text);
  }
  link_.SetUnderline(true);
  CenterWindow();
  return TRUE;
}

bool CAboutDlg::OnCommand(UINT id, UINT code, HWND control) {
  if (id == IDC_CLOSE_BUTTON && code == BN_CLICKED) {
    EndDialog(IDOK);
    return true;
  }
  if (id == IDC_SUPPORT_LINK && code == STN_CLICKED) {
    ShellExecuteA(hwnd_, "open", link_.GetWindowText().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return true;
  }
  return CGUIDialog::OnCommand(id, code, control);
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_LBUTTONDOWN) {
    // The caption bar moves the window; a click anywhere else closes it.
    if (CGUIDialog::OnMessage(message, wParam, lParam, result)) return true;
    EndDialog(IDOK);
    result = 0;
    return true;
  }
  return CGUIDialog::OnMessage(message, wParam, lParam, result);
}

void CAboutDlg::PaintOverSkin(HDC dc) {
  logo_.Render(dc, kLogoRect.left, kLogoRect.top, kLogoRect.right - kLogoRect.left,
               kLogoRect.bottom - kLogoRect.top);
}
