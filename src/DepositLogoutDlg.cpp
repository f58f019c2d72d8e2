#include "DepositLogoutDlg.h"

#include "StringLoader.h"
#include "resource.h"
#include "strings.h"

CDepositLogoutDlg::CDepositLogoutDlg(HWND parent) : CDriveSwitchDlg(kDoneMessage, parent) {}

BOOL CDepositLogoutDlg::OnInitDialog() {
  bool inSafe = false;
  wait_ =
      Device() != nullptr && Device()->deposit().isInSafePartition(inSafe) == pdk::kOk && inSafe;
  return CDriveSwitchDlg::OnInitDialog();
}

int CDepositLogoutDlg::StartSwitch() { return Device()->deposit().logout(&Observer(), !wait_); }

std::string CDepositLogoutDlg::FailureText(int) const {
  return CStringLoader::LoadString(IDS_LOGOUT_FAILED);
}
