#include "GUI/GUIButton.h"

#include <windowsx.h>

#include <algorithm>

#include "GUI/Application.h"

namespace {
SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectA(bitmap, sizeof(info), &info) == 0) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

// Copies `bitmap` into `dc` at x, its width kept and its height made `height`.
void Put(HDC dc, HDC scratch, HBITMAP bitmap, int x, int width, int height) {
  SIZE size = BitmapSize(bitmap);
  if (size.cx == 0 || width <= 0) return;
  HGDIOBJ old = SelectObject(scratch, bitmap);
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, x, 0, width, height, scratch, 0, 0, std::min<int>(width, size.cx), size.cy,
             SRCCOPY);
  SelectObject(scratch, old);
}

// An off-screen bitmap the size of the button, selected into its own DC.
class CanvasDC {
 public:
  CanvasDC(HDC like, int width, int height)
      : dc_(CreateCompatibleDC(like)), bitmap_(CreateCompatibleBitmap(like, width, height)) {
    old_ = SelectObject(dc_, bitmap_);
  }
  ~CanvasDC() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  CanvasDC(const CanvasDC&) = delete;
  CanvasDC& operator=(const CanvasDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};
}  // namespace

CGUIButton::CGUIButton() : textColor_(GetSysColor(COLOR_BTNTEXT)) {}

CGUIButton::~CGUIButton() {
  for (Pieces& pieces : images_) FreePieces(pieces);
}

void CGUIButton::FreePieces(Pieces& pieces) {
  for (HBITMAP* b : {&pieces.left, &pieces.middle, &pieces.right}) {
    if (*b != nullptr) DeleteObject(*b);
    *b = nullptr;
  }
}

bool CGUIButton::Attach(HWND dialog, UINT id) {
  HWND button = ::GetDlgItem(dialog, int(id));
  if (button == nullptr) return false;
  const LONG_PTR style = GetWindowLongPtrA(button, GWL_STYLE);
  switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
      kind_ = kCheck;
      break;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      kind_ = kRadio;
      break;
    default:
      kind_ = kPush;
      break;
  }
  checked_ = SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (!SubclassControl(button)) return false;
  // An owner-drawn button keeps no check state of its own: this object does.
  SetWindowLongPtrA(button, GWL_STYLE, (style & ~LONG_PTR(BS_TYPEMASK)) | BS_OWNERDRAW);
  Invalidate();
  return true;
}

bool CGUIButton::SetBitmaps(State state, UINT left, UINT middle, UINT right) {
  Pieces loaded;
  const HINSTANCE module = CApplication::ResourceHandle();
  auto load = [module](UINT id, HBITMAP& target) {
    if (id == 0) return true;
    target = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    return target != nullptr;
  };
  if (!load(left, loaded.left) || !load(middle, loaded.middle) || !load(right, loaded.right)) {
    FreePieces(loaded);
    return false;
  }
  FreePieces(images_[state]);
  images_[state] = loaded;
  if (hwnd_ != nullptr) Invalidate();
  return true;
}

bool CGUIButton::SetStandardBitmaps() {
  bool ok = SetBitmaps(kNormal, 231, 236, 241);
  ok &= SetBitmaps(kFocused, 235, 240, 245);
  ok &= SetBitmaps(kDisabled, 232, 237, 242);
  ok &= SetBitmaps(kPressed, 233, 238, 243);
  ok &= SetBitmaps(kOver, 234, 239, 244);
  ok &= SetBitmaps(kMask, 252, 251, 250);
  return ok;
}

bool CGUIButton::SetCloseBitmaps() {
  SetWindowText("");
  bool ok = SetBitmaps(kNormal, 223, 0, 0);
  ok &= SetBitmaps(kDisabled, 224, 0, 0);
  ok &= SetBitmaps(kPressed, 225, 0, 0);
  ok &= SetBitmaps(kOver, 226, 0, 0);
  return ok;
}

bool CGUIButton::AttachStandard(HWND dialog, UINT id, const std::string& text) {
  if (!Attach(dialog, id)) return false;
  SetText(text);
  return SetStandardBitmaps();
}

void CGUIButton::SetText(const std::string& text) {
  SetWindowText(text);
  Invalidate();
}

void CGUIButton::FitText() {
  if (hwnd_ == nullptr) return;
  const std::string text = GetWindowText();
  HDC dc = GetDC(hwnd_);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
  RECT needed{0, 0, 0, 0};
  DrawTextA(dc, text.c_str(), int(text.size()), &needed, DT_SINGLELINE | DT_CALCRECT);
  if (oldFont != nullptr) SelectObject(dc, oldFont);
  ReleaseDC(hwnd_, dc);
  // The margins, and as much air again at each end as the pieces' rims take.
  constexpr int kAir = 6;
  const int width = needed.right + 2 * (textMargin_ + kAir);
  RECT r{};
  GetWindowRect(hwnd_, &r);
  if (width <= r.right - r.left) return;
  SetWindowPos(hwnd_, nullptr, 0, 0, width, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CGUIButton::SetTextColor(COLORREF color) {
  textColor_ = color;
  if (hwnd_ != nullptr) Invalidate();
}

void CGUIButton::SetTextMargin(int margin) { textMargin_ = std::max(0, margin); }

void CGUIButton::SetTextAlignment(int alignment) { alignment_ = std::clamp(alignment, 0, 2); }

bool CGUIButton::IsPressed() const {
  return hwnd_ != nullptr && (SendMessageA(hwnd_, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

void CGUIButton::SetCheck(bool checked) {
  checked_ = checked;
  if (hwnd_ != nullptr) Invalidate();
}

int CGUIButton::ChooseState(bool disabled, bool pressed, bool checked, bool hovered,
                            bool focusedOrDefault, const std::array<bool, kStateCount>& has) {
  if (disabled) return kDisabled;
  if (pressed || checked) return kPressed;
  if (hovered && has[kOver]) return kOver;
  if (focusedOrDefault && has[kFocused]) return kFocused;
  return kNormal;
}

void CGUIButton::SetPressedLook(bool pressed) {
  // Only a change is passed on, so the button is not redrawn for nothing.
  if (IsPressed() != pressed) Default(BM_SETSTATE, pressed ? TRUE : FALSE, 0);
}

LRESULT CGUIButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE: {
      if (!hovered_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
        hovered_ = true;
        Invalidate(false);
      }
      if (captured_) {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT client = GetClientRect();
        SetPressedLook(PtInRect(&client, pt) != FALSE);
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      hovered_ = false;
      Invalidate(false);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (tracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE | TME_CANCEL, hwnd_, 0};
        TrackMouseEvent(&track);
        tracking_ = false;
      }
      SetCapture(hwnd_);
      captured_ = true;
      if (GetFocus() != hwnd_) SetFocus(hwnd_);
      SetPressedLook(true);
      return 0;
    }
    case WM_LBUTTONUP: {
      if (!captured_) return 0;
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      RECT client = GetClientRect();
      const bool over = PtInRect(&client, pt) != FALSE;
      captured_ = false;
      ReleaseCapture();
      SetPressedLook(false);
      if (over) {
        if (kind_ == kCheck) checked_ = !checked_;
        if (kind_ == kRadio) checked_ = true;
        // The mouse is still here: watch for it leaving again.
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
      } else {
        hovered_ = false;
      }
      Invalidate(false);
      if (over) {
        HWND parent = GetParent(hwnd_);
        const int id = GetDlgCtrlID(hwnd_);
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd_));
      }
      return 0;
    }
    case WM_KEYUP:
      // The space bar clicks through the system's own button code; the check
      // state is ours to keep, so it changes here, before that click.
      if (wParam == VK_SPACE && IsPressed()) {
        if (kind_ == kCheck) checked_ = !checked_;
        if (kind_ == kRadio) checked_ = true;
      }
      return Default(message, wParam, lParam);
    case WM_CAPTURECHANGED:
      if (captured_) {
        captured_ = false;
        SetPressedLook(false);
      }
      return 0;
    case BM_SETCHECK:
      SetCheck(wParam == BST_CHECKED);
      return 0;
    case BM_GETCHECK:
      return checked_ ? BST_CHECKED : BST_UNCHECKED;
    case BM_GETSTATE:
      return (Default(message, wParam, lParam) & ~LRESULT(BST_CHECKED)) |
             (checked_ ? BST_CHECKED : 0);
    case WM_ERASEBKGND:
      return TRUE;
    default:
      return Default(message, wParam, lParam);
  }
}

bool CGUIButton::OnReflected(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
  if (message != WM_DRAWITEM) return false;
  Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  result = TRUE;
  return true;
}

int CGUIButton::PaintImage(HDC dc, const RECT& r, int state) {
  const Pieces& p = images_[size_t(state)];
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC scratch = CreateCompatibleDC(dc);
  int lone = 0;
  if (p.middle == nullptr && p.right == nullptr) {
    SIZE size = BitmapSize(p.left);
    HGDIOBJ old = SelectObject(scratch, p.left);
    BitBlt(dc, 0, (height - size.cy) / 2, size.cx, size.cy, scratch, 0, 0, SRCCOPY);
    SelectObject(scratch, old);
    lone = size.cx;
  } else {
    const int lw = BitmapSize(p.left).cx;
    const int rw = BitmapSize(p.right).cx;
    const int mw = BitmapSize(p.middle).cx;
    if (mw > 0) {
      for (int x = lw; x < width - rw; x += mw)
        Put(dc, scratch, p.middle, x, std::min(mw, width - rw - x), height);
    }
    Put(dc, scratch, p.left, 0, std::min(lw, width), height);
    Put(dc, scratch, p.right, width - rw, rw, height);
  }
  DeleteDC(scratch);
  return lone;
}

void CGUIButton::Draw(const DRAWITEMSTRUCT& item) {
  const RECT r = item.rcItem;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return;

  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  HWND parent = GetParent(hwnd_);
  const LRESULT defId = SendMessageA(parent, DM_GETDEFID, 0, 0);
  const bool isDefault = HIWORD(defId) == DC_HASDEFID && LOWORD(defId) == GetDlgCtrlID(hwnd_);
  std::array<bool, kStateCount> has{};
  for (int s = 0; s < kStateCount; ++s) has[size_t(s)] = HasImage(State(s));
  const int state = ChooseState(disabled, pressed, checked_, hovered_, focused || isDefault, has);

  CanvasDC canvas(item.hDC, width, height);
  HDC dc = canvas.get();
  // What shows through the transparent corners is the dialog behind us.
  RECT inParent = GetRectInParent();
  POINT origin{};
  SetViewportOrgEx(dc, -inParent.left, -inParent.top, &origin);
  SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  SetViewportOrgEx(dc, origin.x, origin.y, nullptr);

  int textLeft = textMargin_;
  if (has[size_t(state)]) {
    lastDrawn_ = state;
    const RECT all{0, 0, width, height};
    if (has[kMask] && images_[size_t(state)].middle != nullptr) {
      CanvasDC image(item.hDC, width, height);
      CanvasDC mask(item.hDC, width, height);
      PaintImage(image.get(), all, state);
      PaintImage(mask.get(), all, kMask);
      // image AND NOT mask, then background AND mask, then OR the two.
      BitBlt(image.get(), 0, 0, width, height, mask.get(), 0, 0, 0x00220326);
      BitBlt(dc, 0, 0, width, height, mask.get(), 0, 0, SRCAND);
      BitBlt(dc, 0, 0, width, height, image.get(), 0, 0, SRCPAINT);
    } else {
      int lone = PaintImage(dc, all, state);
      if (lone > 0) textLeft = lone + textMargin_;
    }
  } else {
    lastDrawn_ = -1;
    RECT face{0, 0, width, height};
    DrawFrameControl(dc, &face, DFC_BUTTON,
                     DFCS_BUTTONPUSH | ((pressed || checked_) ? DFCS_PUSHED : 0));
  }

  const std::string text = GetWindowText();
  RECT textRect{textLeft, textMargin_, width - textMargin_, height - textMargin_};
  if (!text.empty()) {
    UINT format = DT_SINGLELINE | DT_VCENTER;
    format |= alignment_ == 0 ? DT_LEFT : alignment_ == 1 ? DT_CENTER : DT_RIGHT;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : textColor_);
    DrawTextA(dc, text.c_str(), int(text.size()), &textRect, format);
    if (oldFont != nullptr) SelectObject(dc, oldFont);
  }
  if (focused) {
    RECT focus{textMargin_, textMargin_, width - textMargin_, height - textMargin_};
    DrawFocusRect(dc, &focus);
  }
  BitBlt(item.hDC, r.left, r.top, width, height, dc, 0, 0, SRCCOPY);
}
