#include "GUIMessageBoxCheckDlg.h"

#include "AppSettings.h"
#include "StringLoader.h"
#include "resource.h"
#include "strings.h"

namespace {
// The switch bitmaps are 20 pixels tall; the text beside them needs the
// width up to the OK button.
const int kCheckHeight = 20;
}  // namespace

CGUIMessageBoxCheckDlg::CGUIMessageBoxCheckDlg(HWND parent)
    : CGUIMessageBoxDlg(parent, IDD_GUI_MESSAGE_BOX_CHECK) {}

CGUIMessageBoxCheckDlg::~CGUIMessageBoxCheckDlg() {
  if (checkFont_ != nullptr) DeleteObject(checkFont_);
}

RECT CGUIMessageBoxCheckDlg::PictureRect() const { return RECT{98, 68, 186, 108}; }

void CGUIMessageBoxCheckDlg::RegisterLayout() {
  SetControlInfo(IDC_CAPTION_CTL, "IDC_CAPTION_CTL", 1, 18, 1, 296);
  SetControlInfo(IDC_MESSAGE_TXT, "IDC_MESSAGE_TXT", 28, 70, 11, 290);
  SetControlInfo(IDC_ICON_CTL, "IDC_ICON_CTL", 68, 108, 98, 186);
  SetControlInfo(IDC_DO_NOT_SHOW_AGAIN, "IDC_DO_NOT_SHOW_AGAIN", 118 - kCheckHeight, 118, 7, 236);
  SetAnchor(IDC_DO_NOT_SHOW_AGAIN, CControlInfo::kBottom | CControlInfo::kLeft, kEdgeMargin);
  SetResizableControlInfo(IDOK, "IDOK", 0, 24, 0, 10, true);
  SetAnchor(IDOK, CControlInfo::kBottom | CControlInfo::kRight, kEdgeMargin);
  SetResizableControlInfo(IDCANCEL, "IDCANCEL", 0, 24, 0, 10, true);
}

BOOL CGUIMessageBoxCheckDlg::OnInitDialog() {
  // The notice's own picture, whatever the caller gave.
  LoadPicture(IDG_DO_NOT_SHOW_PICTURE);
  const BOOL result = CGUIMessageBoxDlg::OnInitDialog();
  check_.Attach(hwnd_, IDC_DO_NOT_SHOW_AGAIN);
  check_.SetText(CStringLoader::LoadString(IDS_DONT_SHOW_AGAIN));
  check_.SetTextAlignment(0);
  // A size smaller than the dialog's: switch and text share the row with OK.
  checkFont_ =
      CreateFontA(-10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
  SendMessageA(check_.GetSafeHwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(checkFont_), TRUE);
  check_.SetBitmaps(CGUIButton::kNormal, IDB_CHECK_NORMAL, 0, 0);
  check_.SetBitmaps(CGUIButton::kDisabled, IDB_CHECK_DISABLED, 0, 0);
  check_.SetBitmaps(CGUIButton::kPressed, IDB_CHECK_CHECKED, 0, 0);
  check_.SetBitmaps(CGUIButton::kOver, IDB_CHECK_OVER, 0, 0);
  return result;
}

void CGUIMessageBoxCheckDlg::OnOK() {
  CAppSettings().WriteSetting("NoCloseNextTime", check_.GetCheck() ? 1 : 0);
  CGUIMessageBoxDlg::OnOK();
}
