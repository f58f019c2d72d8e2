// The small skinned notice that slides out of the screen edge next to the
// taskbar, stays for its time-out, slides back and destroys itself. Nobody
// holds it once it is shown: its window owns it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"
#include "GUI/Picture.h"

class CNotificationPopup : public CGUIDialog {
 public:
  enum Timer : UINT_PTR { kSlideInTimer = 1161, kSlideOutTimer = 1162, kShownTimer = 1163 };
  enum EdgeCode { kEdgeBottom = 200, kEdgeTop = 201, kEdgeRight = 202, kEdgeLeft = 203 };
  enum LayoutFlag : uint32_t { kPictureAtBottom = 0x08, kPictureCentred = 0x10 };
  static constexpr int kStep = 5;

  // None when memory runs out.
  static std::unique_ptr<CNotificationPopup> Create(const std::string& text, UINT templateId,
                                                    UINT skinId, UINT textId, UINT pictureId,
                                                    UINT timeout, UINT stepInterval, HWND parent);
  void SetLayout(uint32_t flags) { layout_ = flags; }
  // Makes the window and starts sliding in; the window owns the popup from
  // then on. Null when the window could not be made (the popup is gone then).
  static HWND Show(std::unique_ptr<CNotificationPopup> popup);
  // Slides out at once from wherever it is.
  virtual void Dismiss();

  // The taskbar's side from the work area and the screen size.
  static int ChooseEdge(const RECT& workArea, int screenWidth, int screenHeight);

  int Edge() const { return edge_; }
  int ShownHeight() const { return shownHeight_; }
  int FullWidth() const { return fullWidth_; }
  int FullHeight() const { return fullHeight_; }
  const RECT& WorkArea() const { return workArea_; }
  RECT PictureRect() const { return pictureRect_; }

 protected:
  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  // Enter and Escape do not close a notice.
  void OnOK() override {}
  void OnCancel() override {}
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void PaintOverSkin(HDC dc) override;
  void PostNcDestroy() override;

 private:
  CNotificationPopup(const std::string& text, UINT templateId, UINT skinId, UINT textId,
                     UINT pictureId, UINT timeout, UINT stepInterval, HWND parent);
  void LayOut();
  // Shows the window `height` pixels tall at the edge's corner.
  void Place(int height);

  const std::string text_;
  const UINT skinId_;
  const UINT textId_;
  const UINT pictureId_;
  const UINT timeout_;
  const UINT stepInterval_;
  uint32_t layout_ = 0;
  CGUILabel label_;
  CPicture picture_;
  RECT pictureRect_{};
  int fullWidth_ = 0;
  int fullHeight_ = 0;
  int edge_ = 0;
  RECT workArea_{};
  int shownHeight_ = 0;
  bool ownedByWindow_ = false;
};
