#include "GUI/GUILabel.h"

#include <algorithm>
#include <vector>

namespace {
// Below this the text is not readable on screen: the system's own raster
// faces never go smaller either.
const int kSmallestHeight = 80;

void FillGradient(HDC dc, const RECT& r, COLORREF first, COLORREF second) {
  const int width = std::max(1, int(r.right - r.left));
  // Vertical bands from left to right; one band per pixel column keeps it smooth.
  for (int x = 0; x < width; ++x) {
    auto mix = [&](int a, int b) { return a + (b - a) * x / std::max(1, width - 1); };
    COLORREF c =
        RGB(mix(GetRValue(first), GetRValue(second)), mix(GetGValue(first), GetGValue(second)),
            mix(GetBValue(first), GetBValue(second)));
    HBRUSH brush = CreateSolidBrush(c);
    RECT band{r.left + x, r.top, r.left + x + 1, r.bottom};
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
}
}  // namespace

CGUILabel::CGUILabel() : textColor_(GetSysColor(COLOR_WINDOWTEXT)) {
  backgroundBrush_ = GetSysColorBrush(COLOR_BTNFACE);
}

CGUILabel::~CGUILabel() {
  DropFont();
  if (ownsBrush_) DeleteObject(backgroundBrush_);
}

void CGUILabel::DropFont() {
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
}

HFONT CGUILabel::Font() {
  if (font_ == nullptr) {
    LOGFONTA lf{};
    HDC screen = GetDC(nullptr);
    const int tenths = std::max(height_, kSmallestHeight);
    lf.lfHeight = -MulDiv(tenths, GetDeviceCaps(screen, LOGPIXELSY), 720);
    ReleaseDC(nullptr, screen);
    lf.lfWeight = weight_;
    lf.lfUnderline = underline_ ? TRUE : FALSE;
    lf.lfCharSet = charSet_;
    lstrcpynA(lf.lfFaceName, faceName_.c_str(), LF_FACESIZE);
    font_ = CreateFontIndirectA(&lf);
  }
  return font_;
}

void CGUILabel::SetGradientBackground(COLORREF first, COLORREF second, bool on) {
  gradientFirst_ = first;
  gradientSecond_ = second;
  gradient_ = on;
  if (hwnd_ != nullptr) Invalidate();
}

void CGUILabel::SetTextColor(COLORREF color) {
  textColor_ = color;
  if (hwnd_ != nullptr) Invalidate();
}

void CGUILabel::SetText(const std::string& text) {
  if (hwnd_ == nullptr) return;
  SetWindowText(text);
  Invalidate();
  UpdateWindow(hwnd_);
}

void CGUILabel::SetBold(bool bold) {
  weight_ = bold ? FW_BOLD : FW_NORMAL;
  DropFont();
  if (hwnd_ != nullptr) Invalidate();
}

void CGUILabel::SetFont(const std::string& faceName, BYTE charSet) {
  faceName_ = faceName;
  charSet_ = charSet;
  DropFont();
  if (hwnd_ != nullptr) Invalidate();
}

void CGUILabel::SetUnderline(bool underline) {
  underline_ = underline;
  DropFont();
  if (hwnd_ != nullptr) Invalidate();
}

void CGUILabel::SetFontHeight(int height) {
  height_ = height;
  DropFont();
  if (hwnd_ != nullptr) Invalidate();
}

void CGUILabel::SetBackgroundColor(COLORREF color) {
  if (ownsBrush_) DeleteObject(backgroundBrush_);
  backgroundColor_ = color;
  backgroundBrush_ = CreateSolidBrush(color);
  ownsBrush_ = backgroundBrush_ != nullptr;
  if (!ownsBrush_) backgroundBrush_ = GetSysColorBrush(COLOR_BTNFACE);
  if (hwnd_ != nullptr) Invalidate();
}

void CGUILabel::Paint(HDC dc) {
  RECT client = GetClientRect();
  if (gradient_) {
    FillGradient(dc, client, gradientFirst_, gradientSecond_);
  } else {
    FillRect(dc, &client, backgroundBrush_);
  }
  const std::string text = GetWindowText();
  if (text.empty()) return;
  const LONG style = LONG(GetWindowLongPtrA(hwnd_, GWL_STYLE));
  const LONG type = style & SS_TYPEMASK;
  UINT format = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
  if (type == SS_CENTER) format |= DT_CENTER;
  if (type == SS_RIGHT) format |= DT_RIGHT;
  // Word-wrapping statics are multi-line; the others keep one line,
  // vertically centred.
  if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
    if (style & SS_CENTERIMAGE) {
      format |= DT_SINGLELINE | DT_VCENTER;
    } else {
      format |= DT_WORDBREAK;
    }
  } else {
    format |= DT_SINGLELINE | DT_VCENTER;
  }
  HGDIOBJ old = SelectObject(dc, Font());
  SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, IsWindowEnabled(hwnd_) ? textColor_ : GetSysColor(COLOR_GRAYTEXT));
  DrawTextA(dc, text.c_str(), int(text.size()), &client, format);
  SelectObject(dc, old);
}

LRESULT CGUILabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return TRUE;
    case WM_SETTEXT: {
      LRESULT r = Default(message, wParam, lParam);
      Invalidate();
      return r;
    }
    default:
      return Default(message, wParam, lParam);
  }
}
