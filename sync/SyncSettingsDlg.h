// The sync settings: the host folder and the drive folder of a pairing. OK
// checks both (creating a missing one when the user agrees) and stores them
// as the engine's link; a failure keeps the dialog open.
#pragma once

#include <windows.h>

#include <string>

#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"
#include "SyncEngine.h"

namespace tovik {

class CSyncSettingsDlg : public CGUIDialog {
 public:
  // `firstVolume` is the drive's first volume letter, where the drive folder
  // picker starts when the field is empty.
  CSyncSettingsDlg(HWND parent, CSyncEngine& engine, char firstVolume);

  // The pairing the dialog opens with; all zero (the default) for none.
  void SetLink(const SyncLinkRecord& link);

  const std::string& HostFolder() const { return hostFolder_; }
  const std::string& DriveFolder() const { return driveFolder_; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  void OnOK() override;

 private:
  bool HasLink() const { return link_.hostFolder[0] != 0 || link_.driveFolder[0] != 0; }
  std::string FieldText(UINT id) const;
  // Empty, existing, or created on request; false stops the OK.
  bool CheckFolder(const std::string& folder);
  void Browse(UINT fieldId, UINT titleId, const std::string& fallback);

  CSyncEngine& engine_;
  const char firstVolume_;
  SyncLinkRecord link_{};
  std::string hostFolder_;
  std::string driveFolder_;
  CGUILabel caption_, instructions_, hostStatic_, driveStatic_;
  CGUIButton ok_, cancel_, hostBrowse_, driveBrowse_;
};

}  // namespace tovik
