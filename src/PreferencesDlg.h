// The preferences: the six switches, the two shortcuts and the language.
// OK stores them in "Tovik.ini" and brings the start-up entry and the
// shortcuts in line; Cancel (or the close button) stores nothing and goes
// back to the language the dialog found.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"

class CPreferencesDlg : public CGUIDialog {
 public:
  // `programPath` is the program file the shortcuts and start-up entry name.
  CPreferencesDlg(HWND parent, const std::string& programPath);
  ~CPreferencesDlg() override;

  // The languages the box offers, in its order (English always among them).
  static std::vector<WORD> OfferedLanguages();
  // The language the dialog opens with for the stored value.
  static WORD InitialLanguage(int stored);
  // The character set and face a language's texts need.
  static BYTE CharSetOf(WORD language);
  HWND ToolTip() const { return toolTip_; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void FillLanguages();
  void SelectLanguage(WORD language);
  void AddToolTip(UINT id, UINT textId);
  bool Checked(UINT id) const;
  void DrawLanguageItem(const DRAWITEMSTRUCT& item);
  void DrawSample(const DRAWITEMSTRUCT& item);
  HFONT FontFor(WORD language);

  const std::string programPath_;
  WORD openingLanguage_ = 1033;
  HWND toolTip_ = nullptr;
  std::vector<std::pair<BYTE, HFONT>> fonts_;
  CGUILabel caption_, intro_, languageIntro_;
  CGUIButton close_, ok_, cancel_;
};
