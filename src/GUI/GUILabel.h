// A static-text control painted by the toolkit: its own colours and font,
// a brush or a two-colour gradient behind transparent text.
#pragma once

#include <windows.h>

#include <string>

#include "GUI/Wnd.h"

class CGUILabel : public CWnd {
 public:
  CGUILabel();
  ~CGUILabel() override;

  virtual void SetGradientBackground(COLORREF first, COLORREF second, bool on);
  virtual void SetTextColor(COLORREF color);
  // Also redraws.
  virtual void SetText(const std::string& text);
  virtual void SetBold(bool bold);
  virtual void SetFont(const std::string& faceName, BYTE charSet);
  virtual void SetUnderline(bool underline);
  // Height in tenths of a point.
  void SetFontHeight(int height);
  void SetBackgroundColor(COLORREF color);

  COLORREF TextColor() const { return textColor_; }
  bool Bold() const { return weight_ == FW_BOLD; }
  int FontHeight() const { return height_; }
  bool GradientOn() const { return gradient_; }
  // The font the label draws with (made on demand, owned by the label).
  HFONT Font();

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);
  void DropFont();

  COLORREF textColor_;
  COLORREF backgroundColor_ = RGB(255, 255, 255);
  HBRUSH backgroundBrush_ = nullptr;  // owned when not the system's
  bool ownsBrush_ = false;
  std::string faceName_ = "MS Sans Serif";
  BYTE charSet_ = DEFAULT_CHARSET;
  int height_ = 80;
  int weight_ = FW_NORMAL;
  bool underline_ = false;
  bool gradient_ = false;
  COLORREF gradientFirst_ = 0;
  COLORREF gradientSecond_ = 0;
  HFONT font_ = nullptr;
};
