// The skinned message box every error, warning, question and notice goes
// through: a caption bar, an optional picture, the text and one or two
// buttons. It closes only through its buttons and answers the pressed id.
#pragma once

#include <windows.h>

#include <string>

#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"
#include "GUI/Picture.h"
#include "resource.h"

class CGUIMessageBoxDlg : public CGUIDialog {
 public:
  // Style bits: which buttons show.
  enum Style : UINT { kFirstButton = 0x01, kSecondButton = 0x10 };
  // Where buttons and check box keep off the client edges.
  static constexpr int kEdgeMargin = 7;

  explicit CGUIMessageBoxDlg(HWND parent = nullptr, UINT templateId = IDD_GUI_MESSAGE_BOX);

  // Texts, style, skin and picture (0: none) of the box to come.
  void Setup(const std::string& text, const std::string& caption, const std::string& first,
             const std::string& second, UINT style, UINT skinId, UINT pictureId);

  UINT Style() const { return style_; }
  bool HasPicture() const { return picture_.IsLoaded(); }

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  bool OnPreTranslate(MSG& msg) override;
  void PaintOverSkin(HDC dc) override;
  // Registers the controls' places; the check-box variant has its own.
  virtual void RegisterLayout();
  // The picture's rectangle in client pixels.
  virtual RECT PictureRect() const;
  const CPicture& Picture() const { return picture_; }
  bool LoadPicture(UINT pictureId);

 private:
  std::string text_;
  std::string caption_;
  std::string first_;
  std::string second_;
  UINT style_ = kFirstButton;
  UINT skinId_ = IDG_MESSAGE_SKIN;
  CPicture picture_;
  CGUILabel captionBar_;
  CGUILabel message_;
  CGUIButton ok_;
  CGUIButton cancel_;
};
