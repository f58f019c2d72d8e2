#include "DriveSwitchDlg.h"

#include "GUI/GUIMessageBoxDlg.h"
#include "GUI/Trace.h"
#include "StringLoader.h"
#include "WinExplorer.h"
#include "resource.h"
#include "strings.h"

CDriveSwitchDlg::CDriveSwitchDlg(UINT doneMessage, HWND parent)
    : CDialog(IDD_WRITE_PROTECTION_DIALOG, parent),
      doneMessage_(doneMessage),
      observer_(*this, doneMessage) {}

INT_PTR CDriveSwitchDlg::Run() { return DoModal(false); }

BOOL CDriveSwitchDlg::OnInitDialog() {
  if (device_ == nullptr || !SetTimer(kStartTimer, kStartDelayMs)) {
    TraceError(__FILE__, __LINE__, "OnInitDialog fail");
    EndDialog(IDCANCEL);
    return FALSE;
  }
  return TRUE;
}

void CDriveSwitchDlg::OnTimer(UINT_PTR id) {
  if (id != kStartTimer) return;
  KillTimer(kStartTimer);
  // The volume's content is about to change under any window showing it.
  char roots[MAX_PATH] = {};
  uint32_t length = sizeof roots;
  if (device_->getDriveLetters(roots, length) == pdk::kOk)
    CWinExplorer::CloseExplorerWindowsOfRoots(roots);
  const int code = StartSwitch();
  if (code == pdk::kOk) {
    if (!WaitsForObserver()) EndDialog(IDOK);
    return;
  }
  // No switch was started, so no message of the observer will come.
  CGUIMessageBoxDlg box(GetSafeHwnd());
  box.Setup(
      code == pdk::kCantLockDevice ? CStringLoader::LoadString(IDS_DRIVE_BUSY) : FailureText(code),
      CStringLoader::LoadString(IDS_SUFFIX_ERROR), CStringLoader::LoadString(IDS_OK), "",
      CGUIMessageBoxDlg::kFirstButton, IDG_MESSAGE_SKIN, 0);
  box.DoModal();
  EndDialog(IDCANCEL);
}

bool CDriveSwitchDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message != doneMessage_) return false;
  EndDialog(wParam == CCompletionObserver::kSucceeded ? IDOK : IDCANCEL);
  result = 0;
  return true;
}
