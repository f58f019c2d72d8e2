#include "WriteProtectionDlg.h"

#include "StringLoader.h"
#include "resource.h"
#include "strings.h"

CWriteProtectionDlg::CWriteProtectionDlg(HWND parent) : CDriveSwitchDlg(kDoneMessage, parent) {}

void CWriteProtectionDlg::SetDevice(CPDK* device, int requestedState) {
  SetDeviceHandle(device);
  requested_ = requestedState;
}

int CWriteProtectionDlg::StartSwitch() {
  return Device()->updateWriteProtected(requested_ == kProtect, &Observer(), 0);
}

std::string CWriteProtectionDlg::FailureText(int) const {
  return CStringLoader::LoadString(requested_ == kProtect ? IDS_PROTECT_ON_FAILED
                                                          : IDS_PROTECT_OFF_FAILED);
}
