#include "GUI/PieChartCtrl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "GUI/Application.h"

namespace {
const double kPi = 3.14159265358979323846;

HFONT Arial(int height) {
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, "Arial");
}

int TextHeight(HDC dc, HFONT font, const std::string& text) {
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.empty() ? " " : text.c_str(), text.empty() ? 1 : int(text.size()),
                        &size);
  SelectObject(dc, old);
  return size.cy;
}
}  // namespace

CPieSegment::CPieSegment(COLORREF fillColor, COLORREF textColor, int degrees,
                         const std::string& text)
    : fill(fillColor),
      brush(CreateSolidBrush(fillColor)),
      text(textColor),
      angle(degrees),
      label(text) {}

CPieSegment::~CPieSegment() {
  if (brush != nullptr) DeleteObject(brush);
}

CPieChartCtrl::CPieChartCtrl() : titleFont_(Arial(15)), labelFont_(Arial(13)) {
  RegisterWindowClass();
}

CPieChartCtrl::~CPieChartCtrl() {
  if (IsWindow()) ::DestroyWindow(hwnd_);
  DeleteObject(titleFont_);
  DeleteObject(labelFont_);
}

bool CPieChartCtrl::RegisterWindowClass() {
  HINSTANCE instance = CApplication::ResourceHandle();
  WNDCLASSA existing{};
  if (GetClassInfoA(instance, kClassName, &existing)) return true;
  WNDCLASSA wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_CROSS);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc) != 0;
}

bool CPieChartCtrl::Create(DWORD style, const RECT& r, HWND parent, UINT id) {
  HWND window =
      CreateWindowExA(0, kClassName, "", style | WS_CHILD, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                      CApplication::ResourceHandle(), nullptr);
  if (window == nullptr) return false;
  if (SubclassControl(window)) return true;
  ::DestroyWindow(window);
  return false;
}

void CPieChartCtrl::AddSegment(COLORREF fill, COLORREF text, int angle, const std::string& label) {
  segments_.push_back(std::make_unique<CPieSegment>(fill, text, angle, label));
  Invalidate(false);
}

COLORREF CPieChartCtrl::GetSegmentColor(size_t index) const {
  if (segments_.empty()) return RGB(0, 0, 0);
  return segments_[std::min(index, segments_.size() - 1)]->fill;
}

void CPieChartCtrl::RemoveAllSegments() {
  segments_.clear();
  Invalidate(false);
}

void CPieChartCtrl::SetTitle(const std::string& title) {
  title_ = title;
  // The pie makes room for the title at the next paint.
  pieRect_ = RECT{};
  Invalidate(false);
}

void CPieChartCtrl::SetStartAngle(int degrees) {
  startAngle_ = degrees;
  Invalidate(false);
}

void CPieChartCtrl::SetColors(COLORREF disc, COLORREF line) {
  discColor_ = disc;
  lineColor_ = line;
  Invalidate(false);
}

std::string CPieChartCtrl::PercentText(int angle) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.0f%%", angle * 100.0 / 360.0);
  return text;
}

void CPieChartCtrl::ComputePieRect(HDC dc) {
  RECT r = GetClientRect();
  if (!title_.empty()) r.top += 2 * TextHeight(dc, titleFont_, title_);
  const int side = std::max(0L, std::min(r.right - r.left, r.bottom - r.top));
  const int left = r.left + ((r.right - r.left) - side) / 2;
  pieRect_ = RECT{left, r.bottom - side, left + side, r.bottom};
}

POINT CPieChartCtrl::PointAt(int degrees, bool labelPoint) const {
  while (degrees < 0) degrees += 360;
  while (degrees >= 360) degrees -= 360;
  const double radius = (pieRect_.bottom - pieRect_.top) / 2.0;
  const double r = labelPoint ? radius * 3.0 / 5.0 : radius;
  const double cx = (pieRect_.left + pieRect_.right) / 2.0;
  const double cy = (pieRect_.top + pieRect_.bottom) / 2.0;
  const double a = degrees * kPi / 180.0;
  return POINT{LONG(cx + std::cos(a) * r), LONG(cy - std::sin(a) * r)};
}

void CPieChartCtrl::Paint(HDC dc, const RECT& client) {
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  if (IsRectEmpty(&pieRect_)) ComputePieRect(dc);
  const RECT& pie = pieRect_;
  const POINT centre{(pie.left + pie.right) / 2, (pie.top + pie.bottom) / 2};

  HPEN pen = CreatePen(PS_SOLID, 1, lineColor_);
  HBRUSH disc = CreateSolidBrush(discColor_);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, disc);
  HGDIOBJ oldFont = SelectObject(dc, labelFont_);
  Ellipse(dc, pie.left, pie.top, pie.right, pie.bottom);
  SetBkMode(dc, TRANSPARENT);

  int current = startAngle_;
  int legendRow = 0;
  for (const auto& segment : segments_) {
    const int end = current + segment->angle;
    const POINT from = PointAt(current, false);
    const POINT to = PointAt(end, false);
    if (segment->angle >= 360 || from.x != to.x || from.y != to.y) {
      // Outlined in its own colour, so no sliver of the disc shows at its edges.
      HPEN edge = CreatePen(PS_SOLID, 1, segment->fill);
      SelectObject(dc, edge);
      SelectObject(dc, segment->brush);
      if (segment->angle >= 360) {
        // A whole turn starts and ends on the same point: it is the whole disc.
        Ellipse(dc, pie.left, pie.top, pie.right, pie.bottom);
      } else {
        // Counter-clockwise from the segment's start to its end.
        Pie(dc, pie.left, pie.top, pie.right, pie.bottom, from.x, from.y, to.x, to.y);
      }
      SelectObject(dc, pen);
      DeleteObject(edge);
    }
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, centre.x, centre.y);
    LineTo(dc, to.x, to.y);

    if (!segment->label.empty()) {
      const int side = TextHeight(dc, labelFont_, segment->label);
      RECT square{client.right - side, legendRow * side, client.right, (legendRow + 1) * side};
      FillRect(dc, &square, segment->brush);
      DrawEdge(dc, &square, EDGE_ETCHED, BF_RECT);
      RECT text{client.left, square.top, square.left - 3, square.bottom};
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      DrawTextA(dc, segment->label.c_str(), int(segment->label.size()), &text,
                DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      ++legendRow;
    }
    if (segment->angle > kPercentMinAngle) {
      const std::string percent = PercentText(segment->angle);
      const POINT at = PointAt(end - segment->angle / 2, true);
      SIZE size{};
      GetTextExtentPoint32A(dc, percent.c_str(), int(percent.size()), &size);
      SetTextColor(dc, segment->text);
      TextOutA(dc, at.x - size.cx / 2, at.y - size.cy / 2, percent.c_str(), int(percent.size()));
    }
    current = end;
  }

  SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
  Ellipse(dc, pie.left, pie.top, pie.right, pie.bottom);
  if (!title_.empty()) {
    SelectObject(dc, titleFont_);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    TextOutA(dc, 1, 1, title_.c_str(), int(title_.size()));
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(disc);
  DeleteObject(pen);
}

LRESULT CPieChartCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      const RECT client = GetClientRect();
      // Drawn off screen and copied in one go: no flicker.
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP bitmap =
          CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom));
      HGDIOBJ old = SelectObject(memory, bitmap);
      Paint(memory, client);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteObject(bitmap);
      DeleteDC(memory);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return TRUE;
    case WM_SIZE:
      pieRect_ = RECT{};
      break;
    default:
      break;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}
