// The welcome page of the first start: where the program's shortcuts go.
// Finish switches every preference on, makes the start-up entry, the chosen
// shortcuts and the uninstall shortcut, and writes "Tovik.ini" (whose
// existence marks the program as installed); Cancel writes nothing.
#pragma once

#include <string>

#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"

class CInstallWizardDlg : public CGUIDialog {
 public:
  CInstallWizardDlg(HWND parent, const std::string& programPath);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  // Enter finishes, as the default button says.
  void OnOK() override { Finish(); }

 private:
  void Finish();

  const std::string programPath_;
  CGUILabel caption_, welcome_, intro_;
  CGUIButton finish_, cancel_;
};
