// A small pie chart control: coloured segments given in whole degrees, the
// percentage written on every segment big enough for it, a legend of the
// labelled segments in the top-right corner and a title in the top-left one.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "GUI/Wnd.h"

// One segment of the pie; owns its brush.
class CPieSegment {
 public:
  CPieSegment(COLORREF fill, COLORREF text, int angle, const std::string& label);
  ~CPieSegment();
  CPieSegment(const CPieSegment&) = delete;
  CPieSegment& operator=(const CPieSegment&) = delete;

  COLORREF fill;
  HBRUSH brush;
  COLORREF text;
  int angle;
  std::string label;
};

class CPieChartCtrl : public CWnd {
 public:
  static constexpr const char* kClassName = "PIE_CHART_CTRL";
  // A segment gets its percentage written only when it is wider than this.
  static constexpr int kPercentMinAngle = 25;

  // The first control of the process registers the window class.
  CPieChartCtrl();
  ~CPieChartCtrl() override;

  static bool RegisterWindowClass();
  // A child window of the class at `r` of `parent`.
  bool Create(DWORD style, const RECT& r, HWND parent, UINT id);
  // Takes over a control of the class that a dialog template made.
  bool Attach(HWND dialog, UINT id) { return SubclassDlgItem(id, dialog); }

  void AddSegment(COLORREF fill, COLORREF text, int angle, const std::string& label);
  // The fill of segment `index`, or of the last one past the end (black when
  // there is none).
  COLORREF GetSegmentColor(size_t index) const;
  void RemoveAllSegments();
  size_t SegmentCount() const { return segments_.size(); }

  void SetTitle(const std::string& title);
  void SetStartAngle(int degrees);
  void SetColors(COLORREF disc, COLORREF line);
  // Empty until the first paint measured it.
  const RECT& PieRect() const { return pieRect_; }

  // Where a point at `degrees` lies: on the disc's edge, or at 3/5 of the
  // radius for the percentage texts.
  POINT PointAt(int degrees, bool labelPoint) const;
  // "%.0f%%" of angle * 100 / 360.
  static std::string PercentText(int angle);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ComputePieRect(HDC dc);
  void Paint(HDC dc, const RECT& client);

  int startAngle_ = 0;
  COLORREF discColor_ = RGB(0, 0, 255);
  COLORREF lineColor_ = RGB(0, 0, 0);
  std::vector<std::unique_ptr<CPieSegment>> segments_;
  HFONT titleFont_;
  HFONT labelFont_;
  std::string title_;
  RECT pieRect_{};
};
