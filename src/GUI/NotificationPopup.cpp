#include "GUI/NotificationPopup.h"

#include <algorithm>
#include <new>

#include "GUI/Application.h"

namespace {
// The panel colour of the skins, behind the text.
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(48, 48, 48);
}  // namespace

CNotificationPopup::CNotificationPopup(const std::string& text, UINT templateId, UINT skinId,
                                       UINT textId, UINT pictureId, UINT timeout, UINT stepInterval,
                                       HWND parent)
    : CGUIDialog(templateId, parent),
      text_(text),
      skinId_(skinId),
      textId_(textId),
      pictureId_(pictureId),
      timeout_(timeout),
      stepInterval_(stepInterval) {}

std::unique_ptr<CNotificationPopup> CNotificationPopup::Create(const std::string& text,
                                                               UINT templateId, UINT skinId,
                                                               UINT textId, UINT pictureId,
                                                               UINT timeout, UINT stepInterval,
                                                               HWND parent) {
  return std::unique_ptr<CNotificationPopup>(new (std::nothrow) CNotificationPopup(
      text, templateId, skinId, textId, pictureId, timeout, stepInterval, parent));
}

HWND CNotificationPopup::Show(std::unique_ptr<CNotificationPopup> popup) {
  if (popup == nullptr || !popup->CDialog::Create()) return nullptr;
  CNotificationPopup* self = popup.release();
  self->ownedByWindow_ = true;
  return self->GetSafeHwnd();
}

void CNotificationPopup::PostNcDestroy() {
  if (ownedByWindow_) delete this;
}

int CNotificationPopup::ChooseEdge(const RECT& work, int screenWidth, int screenHeight) {
  if (work.right - work.left == screenWidth && work.bottom < screenHeight) return kEdgeBottom;
  if (work.left == 0 && work.top != 0) return kEdgeTop;
  if (work.left != 0 && work.top == 0) return kEdgeLeft;
  return kEdgeRight;
}

BOOL CNotificationPopup::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetSkin(skinId_);
  ApplySkinAndLayout();
  if (pictureId_ != 0) picture_.Load(CApplication::ResourceHandle(), pictureId_, "GIF");
  if (label_.SubclassDlgItem(textId_, hwnd_)) {
    label_.SetBackgroundColor(kPanel);
    label_.SetTextColor(kText);
    label_.SetBold(true);
  }
  LayOut();
  label_.SetText(text_);

  RECT client = GetClientRect();
  fullWidth_ = client.right + 10;
  fullHeight_ = client.bottom;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea_, 0);
  edge_ = ChooseEdge(workArea_, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  shownHeight_ = 0;
  SetTimer(kSlideInTimer, stepInterval_);
  // A notice never takes the focus from what the user is doing.
  return FALSE;
}

void CNotificationPopup::LayOut() {
  const RECT client = GetClientRect();
  const SIZE picture = picture_.GetSize();
  const int w = client.right;
  const int h = client.bottom;
  RECT text{10, 30, w - 10, h - 30};
  if (layout_ & kPictureAtBottom) {
    pictureRect_ = RECT{(w - picture.cx) / 2, h - 3 - picture.cy, 0, 0};
    text = RECT{7, 7, w - 7, h - 7};
    // The text stops where the picture begins, or it would paint over it.
    if (picture_.IsLoaded()) text.bottom = std::min(text.bottom, pictureRect_.top);
  } else if (layout_ & kPictureCentred) {
    pictureRect_ = RECT{(w - picture.cx) / 2, (h - picture.cy) / 2, 0, 0};
  } else {
    pictureRect_ = RECT{10, 30, 0, 0};
  }
  pictureRect_.right = pictureRect_.left + picture.cx;
  pictureRect_.bottom = pictureRect_.top + picture.cy;
  if (HWND label = GetDlgItem(int(textId_))) {
    MoveWindow(label, text.left, text.top, text.right - text.left, text.bottom - text.top, TRUE);
  }
}

void CNotificationPopup::Place(int height) {
  int x = workArea_.right - fullWidth_;
  int y = workArea_.bottom - height - 5;
  const int width = fullWidth_ - 10;
  switch (edge_) {
    case kEdgeLeft:
      x = workArea_.left + 10;
      break;
    case kEdgeTop:
      y = workArea_.top;
      break;
    default:
      break;
  }
  SetWindowPos(hwnd_, HWND_TOPMOST, x, y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

void CNotificationPopup::OnTimer(UINT_PTR id) {
  switch (id) {
    case kSlideInTimer:
      shownHeight_ += kStep;
      if (shownHeight_ > fullHeight_) {
        KillTimer(kSlideInTimer);
        SetTimer(kShownTimer, timeout_);
      } else {
        Place(shownHeight_);
      }
      break;
    case kShownTimer:
      KillTimer(kShownTimer);
      SetTimer(kSlideOutTimer, stepInterval_);
      break;
    case kSlideOutTimer:
      shownHeight_ -= kStep;
      if (shownHeight_ > 0) {
        Place(shownHeight_);
      } else {
        KillTimer(kSlideOutTimer);
        shownHeight_ = 0;
        DestroyWindow();
      }
      break;
    default:
      break;
  }
}

void CNotificationPopup::Dismiss() {
  KillTimer(kShownTimer);
  KillTimer(kSlideInTimer);
  SetTimer(kSlideOutTimer, stepInterval_);
}

void CNotificationPopup::PaintOverSkin(HDC dc) {
  if (picture_.IsLoaded()) picture_.Render(dc, pictureRect_.left, pictureRect_.top);
}

bool CNotificationPopup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
    result = 0;
    return true;
  }
  return CGUIDialog::OnMessage(message, wParam, lParam, result);
}
