// An owner-drawn push button (or check box, or radio button) painted from
// bitmaps: six state images, each a left piece, a middle piece repeated to
// the button's width and a right piece. It follows the mouse itself: hover
// through a leave notification, the pressed look while the mouse is captured.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "GUI/Wnd.h"

class CGUIButton : public CWnd {
 public:
  enum State { kNormal = 0, kFocused = 1, kDisabled = 2, kPressed = 3, kOver = 4, kMask = 5 };
  enum Kind { kPush, kCheck, kRadio };
  static constexpr int kStateCount = 6;

  CGUIButton();
  ~CGUIButton() override;

  // Takes over the dialog's button `id` and makes it owner-drawn; its kind
  // comes from the button's style.
  bool Attach(HWND dialog, UINT id);

  // The pieces of one state image; 0 leaves a piece out. An image of a left
  // piece only is drawn at its own size at the left, with the text after it.
  bool SetBitmaps(State state, UINT left, UINT middle, UINT right);
  // The standard push-button pieces and mask of every skinned dialog.
  bool SetStandardBitmaps();
  // The small close button of a caption bar (a left piece per state, no text).
  bool SetCloseBitmaps();
  // Attach, the standard pieces and the text: a push button of a skinned dialog.
  bool AttachStandard(HWND dialog, UINT id, const std::string& text);
  void SetText(const std::string& text);
  // Widens the button until its text fits between its margins (never
  // narrows it): a box's buttons take texts of any length and language.
  void FitText();
  void SetTextColor(COLORREF color);
  void SetTextMargin(int margin);
  // 0 left, 1 centre, 2 (or more) right.
  void SetTextAlignment(int alignment);
  void SetKind(Kind kind) { kind_ = kind; }

  Kind GetKind() const { return kind_; }
  bool IsHovered() const { return hovered_; }
  bool IsPressed() const;
  bool GetCheck() const { return checked_; }
  void SetCheck(bool checked);
  bool HasImage(State state) const {
    return images_[state].left != nullptr || images_[state].middle != nullptr ||
           images_[state].right != nullptr;
  }
  // The image the last drawing used (or -1 for the plain fallback face).
  int LastDrawnState() const { return lastDrawn_; }

  // Which image a drawing uses for these conditions.
  static int ChooseState(bool disabled, bool pressed, bool checked, bool hovered,
                         bool focusedOrDefault, const std::array<bool, kStateCount>& has);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  struct Pieces {
    HBITMAP left = nullptr;
    HBITMAP middle = nullptr;
    HBITMAP right = nullptr;
  };
  static void FreePieces(Pieces& pieces);
  void Draw(const DRAWITEMSTRUCT& item);
  // Draws image `state` over the whole of `r` in `dc`; answers the width the
  // image takes when it is a lone left piece, else 0.
  int PaintImage(HDC dc, const RECT& r, int state);
  void SetPressedLook(bool pressed);

  std::array<Pieces, kStateCount> images_;
  COLORREF textColor_;
  int textMargin_ = 3;
  int alignment_ = 1;
  Kind kind_ = kPush;
  bool checked_ = false;
  bool hovered_ = false;
  bool tracking_ = false;
  bool captured_ = false;
  int lastDrawn_ = -1;
};
