#include "SyncBox.h"

#include "GUI/GUIMessageBoxDlg.h"
#include "PDKException.h"
#include "StringLoader.h"
#include "resource.h"
#include "strings.h"

namespace tovik {

bool CSyncBox::Ask(HWND parent, const std::string& text, const std::string& caption, UINT picture,
                   bool withCancel) {
  CGUIMessageBoxDlg box(parent);
  box.Setup(text, caption, CStringLoader::LoadString(IDS_OK), CStringLoader::LoadString(IDS_CANCEL),
            withCancel ? CGUIMessageBoxDlg::kFirstButton | CGUIMessageBoxDlg::kSecondButton
                       : CGUIMessageBoxDlg::kFirstButton,
            IDG_MESSAGE_SKIN, picture);
  return box.DoModal() == IDOK;
}

bool CSyncBox::Error(HWND parent, const std::string& text, bool withCancel) {
  return Ask(
      parent, text,
      CStringLoader::LoadString(IDS_PROGRAM_NAME) + CStringLoader::LoadString(IDS_SUFFIX_ERROR),
      IDG_ERROR_PICTURE, withCancel);
}

bool CSyncBox::Warning(HWND parent, const std::string& text, bool withCancel) {
  return Ask(
      parent, text,
      CStringLoader::LoadString(IDS_PROGRAM_NAME) + CStringLoader::LoadString(IDS_SUFFIX_WARNING),
      IDG_WARNING_PICTURE, withCancel);
}

void CSyncBox::Notice(HWND parent, const std::string& text) {
  Ask(parent, text, CStringLoader::LoadString(IDS_CAPTION_PROGRAM), 0, false);
}

bool CSyncBox::ErrorByCode(HWND parent, int code) {
  switch (code) {
    case sync::kDatabaseError:
      return Error(parent, CStringLoader::LoadString(IDS_SYNC_DB_ERROR), true);
    case sync::kPathMissing:
      Error(parent, CStringLoader::LoadString(IDS_SYNC_NO_PATH));
      return false;
    case sync::kNotOnDrive:
      Error(parent, CStringLoader::LoadString(IDS_SYNC_BAD_DRIVE_PATH));
      return false;
    case sync::kHostOnDrive:
      Error(parent, CStringLoader::LoadString(IDS_SYNC_BAD_HOST_PATH));
      return false;
    default:
      Error(parent, CStringLoader::LoadString(IDS_SUFFIX_ERROR));
      return false;
  }
}

}  // namespace tovik
