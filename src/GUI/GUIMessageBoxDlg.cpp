#include "GUI/GUIMessageBoxDlg.h"

#include "GUI/Application.h"

namespace {
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(32, 32, 32);
const int kButtonHeight = 24;
}  // namespace

CGUIMessageBoxDlg::CGUIMessageBoxDlg(HWND parent, UINT templateId)
    : CGUIDialog(templateId, parent) {}

void CGUIMessageBoxDlg::Setup(const std::string& text, const std::string& caption,
                              const std::string& first, const std::string& second, UINT style,
                              UINT skinId, UINT pictureId) {
  text_ = text;
  caption_ = caption;
  first_ = first;
  second_ = second;
  style_ = style;
  skinId_ = skinId;
  SetSkin(skinId);
  if (pictureId != 0) {
    LoadPicture(pictureId);
  } else {
    picture_.Free();
  }
}

bool CGUIMessageBoxDlg::LoadPicture(UINT pictureId) {
  return picture_.Load(CApplication::ResourceHandle(), pictureId, "GIF");
}

RECT CGUIMessageBoxDlg::PictureRect() const { return RECT{11, 28, 49, 66}; }

void CGUIMessageBoxDlg::RegisterLayout() {
  SetControlInfo(IDC_CAPTION_CTL, "IDC_CAPTION_CTL", 1, 18, 1, 296);
  const RECT picture = PictureRect();
  SetControlInfo(IDC_ICON_CTL, "IDC_ICON_CTL", picture.top, picture.bottom, picture.left,
                 picture.right);
  SetControlInfo(IDC_MESSAGE_TXT, "IDC_MESSAGE_TXT", 28, 91, HasPicture() ? 61 : 11, 290);
  SetResizableControlInfo(IDOK, "IDOK", 0, kButtonHeight, 0, 10, true);
  SetResizableControlInfo(IDCANCEL, "IDCANCEL", 0, kButtonHeight, 0, 10, true);
  const uint32_t bottomRight = CControlInfo::kBottom | CControlInfo::kRight;
  // The rightmost shown button hangs from the corner, the other to its left.
  if (style_ & kSecondButton) {
    SetAnchor(IDCANCEL, bottomRight, kEdgeMargin);
    if (style_ & kFirstButton) SetLeftNeighbour(IDOK, IDCANCEL, kEdgeMargin);
  } else {
    SetAnchor(IDOK, bottomRight, kEdgeMargin);
  }
}

BOOL CGUIMessageBoxDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetIconResource(IDI_APPLICATION_ICON);
  SetPanelColors(kPanel, kText);
  if (!SkinActive()) SetSkin(skinId_);
  RegisterLayout();
  SetWindowText(caption_);
  SetupCaptionBar(captionBar_, IDC_CAPTION_CTL, caption_);
  SetupPanelLabel(message_, IDC_MESSAGE_TXT, text_);
  ok_.AttachStandard(hwnd_, IDOK, first_);
  cancel_.AttachStandard(hwnd_, IDCANCEL, second_);
  ok_.FitText();
  cancel_.FitText();
  ShowWindow(GetDlgItem(IDOK), (style_ & kFirstButton) ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(IDCANCEL), (style_ & kSecondButton) ? SW_SHOW : SW_HIDE);
  ApplySkinAndLayout();
  CenterWindow();
  HWND focus = GetDlgItem((style_ & kFirstButton) ? IDOK : IDCANCEL);
  SetFocus(focus);
  MessageBeep(0);
  // The focus is set already.
  return FALSE;
}

bool CGUIMessageBoxDlg::OnPreTranslate(MSG& msg) {
  // Escape would cancel a box that offers no Cancel: only the buttons close it.
  return msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE;
}

bool CGUIMessageBoxDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
    result = 0;
    return true;
  }
  return CGUIDialog::OnMessage(message, wParam, lParam, result);
}

void CGUIMessageBoxDlg::PaintOverSkin(HDC dc) {
  if (!picture_.IsLoaded()) return;
  const RECT r = PictureRect();
  picture_.Render(dc, r.left, r.top, r.right - r.left, r.bottom - r.top);
}
