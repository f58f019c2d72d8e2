// The drive's personalisation: one of ten built-in icons and sounds or a file
// of the user's own, the personal label, and a play button for the chosen
// sound. OK writes through the drive proxy only what the user changed.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"

class CPDKProxy;

class CPlundaPreferencesDlg : public CGUIDialog {
 public:
  static constexpr int kMaxLabelLength = 18;
  static constexpr int kBuiltInCount = 10;
  // The list position of "...", after "Default" and the ten built-in entries.
  static constexpr int kBrowsePosition = kBuiltInCount + 1;

  explicit CPlundaPreferencesDlg(HWND parent = nullptr);
  ~CPlundaPreferencesDlg() override;
  // The drive the dialog personalises; given before DoModal(). Without one the
  // dialog only shows the lists and OK writes nothing.
  void SetProxy(CPDKProxy* proxy);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  void OnOK() override;

 private:
  // One of the two lists with its custom file and the position it opened at.
  struct Choice {
    UINT listId;
    std::string customPath;
    int openedAt = 0;
  };

  void FillLists();
  void ShowDrive();
  void OnListChanged(Choice& choice, bool isIcon);
  void Play();
  int Selected(const Choice& choice) const;
  UINT ItemData(const Choice& choice, int position) const;
  void Select(const Choice& choice, int position);

  CPDKProxy* proxy_ = nullptr;
  HIMAGELIST images_ = nullptr;
  HWND toolTip_ = nullptr;
  Choice icon_{0, {}, 0};
  Choice sound_{0, {}, 0};
  CGUILabel caption_, iconIntro_, soundIntro_, labelIntro_, version_;
  CGUIButton close_, play_, ok_, cancel_;
};
