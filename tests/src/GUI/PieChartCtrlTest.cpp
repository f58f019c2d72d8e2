// The pie chart read from its window's pixels: percentages from 26 degrees
// on, a segment of 0 degrees, the legend and the room a title takes.
#include "GUI/PieChartCtrl.h"

#include <gtest/gtest.h>

#include <cmath>

#include "GuiTestSupport.h"

using guitest::Capture;

namespace {

const COLORREF kFill = RGB(220, 40, 40);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);

// A top-level window holding one chart of 240 x 200 at its client origin.
class ChartWindow {
 public:
  ChartWindow() {
    host_ = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, 240, 200,
                            nullptr, nullptr, nullptr, nullptr);
    if (host_ != nullptr) chart.Create(WS_VISIBLE, RECT{0, 0, 240, 200}, host_, 77);
  }
  ~ChartWindow() {
    if (host_ != nullptr) DestroyWindow(host_);
  }
  Capture Shot() {
    InvalidateRect(chart.GetSafeHwnd(), nullptr, FALSE);
    UpdateWindow(chart.GetSafeHwnd());
    return guitest::CaptureWindow(chart.GetSafeHwnd());
  }
  HWND Host() const { return host_; }
  CPieChartCtrl chart;

 private:
  HWND host_ = nullptr;
};

// A pixel of green text, smoothed edges included: more green than red, where
// the segment's fill has more red and the disc has neither.
bool IsText(COLORREF c) { return GetGValue(c) > GetRValue(c) && GetGValue(c) > GetBValue(c); }

// The same text, font and colours drawn on the segment's colour alone.
std::vector<bool> ReferenceText(const std::string& text, POINT at, int width, int height) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  RECT all{0, 0, width, height};
  HBRUSH brush = CreateSolidBrush(kFill);
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  HFONT font =
      CreateFontA(13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kGreen);
  TextOutA(dc, at.x - size.cx / 2, at.y - size.cy / 2, text.c_str(), int(text.size()));
  GdiFlush();
  std::vector<bool> mask(size_t(width) * size_t(height));
  const auto* p = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < mask.size(); ++i)
    mask[i] = IsText(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return mask;
}

std::vector<bool> TextMask(const Capture& shot) {
  std::vector<bool> mask(size_t(shot.width) * size_t(shot.height));
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) mask[size_t(y) * shot.width + x] = IsText(shot.At(x, y));
  return mask;
}

// The label point of the middle of a segment, computed here on its own.
POINT MiddlePoint(const RECT& pie, double degrees) {
  const double r = (pie.bottom - pie.top) / 2.0 * 3.0 / 5.0;
  const double a = degrees * 3.14159265358979323846 / 180.0;
  return POINT{LONG((pie.left + pie.right) / 2.0 + std::cos(a) * r),
               LONG((pie.top + pie.bottom) / 2.0 - std::sin(a) * r)};
}

}  // namespace

TEST(PieChartCtrl, PercentageOnlyOnSegmentsWiderThanTwentyFiveDegrees) {
  struct Case {
    int angle;
    const char* text;  // null: nothing written
  } cases[] = {{25, nullptr}, {26, "7%"}, {90, "25%"}};
  for (const Case& c : cases) {
    ChartWindow window;
    ASSERT_DISPLAY(window.chart.GetSafeHwnd());
    window.chart.AddSegment(kFill, kGreen, c.angle, "");
    const Capture shot = window.Shot();
    const std::vector<bool> got = TextMask(shot);
    const RECT pie = window.chart.PieRect();
    EXPECT_TRUE(guitest::SameRect(pie, RECT{20, 0, 220, 200}));
    if (c.text == nullptr) {
      EXPECT_EQ(std::count(got.begin(), got.end(), true), 0) << c.angle;
      continue;
    }
    const std::vector<bool> want =
        ReferenceText(c.text, MiddlePoint(pie, c.angle / 2), shot.width, shot.height);
    EXPECT_GT(std::count(want.begin(), want.end(), true), 10);
    EXPECT_TRUE(got == want) << c.angle << " degrees should show exactly \"" << c.text << "\"";
  }
}

TEST(PieChartCtrl, ZeroDegreesDrawsNoSectorButItsLineAndLegendRow) {
  ChartWindow window;
  ASSERT_DISPLAY(window.chart.GetSafeHwnd());
  window.chart.AddSegment(kFill, kGreen, 0, "Used");
  window.chart.AddSegment(RGB(250, 250, 0), kGreen, 90, "Free");
  const Capture shot = window.Shot();
  const RECT pie = window.chart.PieRect();
  const int cx = (pie.left + pie.right) / 2;
  const int cy = (pie.top + pie.bottom) / 2;
  // No pixel of the empty segment inside the disc, the disc colour below the
  // centre, the radial line at 0 degrees in the line colour.
  int filled = 0;
  for (int y = pie.top; y < pie.bottom; ++y)
    for (int x = pie.left; x < pie.right; ++x) filled += shot.At(x, y) == kFill ? 1 : 0;
  EXPECT_EQ(filled, 0);
  EXPECT_EQ(shot.At(cx, cy + 50), kBlue);
  EXPECT_EQ(shot.At(cx + 50, cy), RGB(0, 0, 0));
  EXPECT_EQ(shot.At(cx + 80, cy - 20), RGB(250, 250, 0));
  // Two legend rows in the top-right corner, the empty segment's first.
  int firstRow = -1, secondRow = -1;
  for (int y = 0; y < 60; ++y) {
    const COLORREF c = shot.At(shot.width - 6, y);
    if (c == kFill && firstRow < 0) firstRow = y;
    if (c == RGB(250, 250, 0) && secondRow < 0) secondRow = y;
  }
  EXPECT_GE(firstRow, 0);
  EXPECT_GT(secondRow, firstRow);
  EXPECT_EQ(window.chart.GetSegmentColor(0), kFill);
  EXPECT_EQ(window.chart.GetSegmentColor(9), RGB(250, 250, 0));
}

TEST(PieChartCtrl, TitleLeavesTwoTitleHeightsAboveThePie) {
  ChartWindow window;
  ASSERT_DISPLAY(window.chart.GetSafeHwnd());
  window.chart.SetTitle("Tovik Drive");
  window.chart.AddSegment(kFill, kGreen, 120, "");
  const Capture shot = window.Shot();
  // The title's height measured here with its font.
  HDC dc = GetDC(nullptr);
  HFONT font =
      CreateFontA(15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, "Tovik Drive", 11, &size);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  // The disc's outline: the first black pixel of the middle column below the title.
  int top = -1;
  for (int y = 2 * size.cy - 3; y < shot.height && top < 0; ++y)
    if (shot.At(shot.width / 2, y) == RGB(0, 0, 0)) top = y;
  EXPECT_EQ(top, 2 * size.cy);
  EXPECT_EQ(window.chart.PieRect().bottom, 200);
  EXPECT_EQ(window.chart.PieRect().right - window.chart.PieRect().left, 200 - 2 * size.cy);
  // Something of the title is written near the top-left corner.
  int dark = 0;
  for (int y = 1; y < size.cy; ++y)
    for (int x = 1; x < 60; ++x) dark += shot.At(x, y) == GetSysColor(COLOR_WINDOWTEXT) ? 1 : 0;
  EXPECT_GT(dark, 10);
}
