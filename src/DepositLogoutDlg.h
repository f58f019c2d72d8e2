// Leaves the privacy zone of a drive inside a hidden modal window (see
// CDriveSwitchDlg): back to the public partition; tells the user when the
// drive refuses.
#pragma once

#include "DriveSwitchDlg.h"

class CDepositLogoutDlg : public CDriveSwitchDlg {
 public:
  static constexpr UINT kDoneMessage = 0x806B;

  explicit CDepositLogoutDlg(HWND parent = nullptr);
  void SetDevice(CPDK* device) { SetDeviceHandle(device); }

 protected:
  BOOL OnInitDialog() override;
  int StartSwitch() override;
  bool WaitsForObserver() const override { return wait_; }
  std::string FailureText(int code) const override;

 private:
  // The zone was active when the window opened: the drive reports the end of
  // the switch from its own thread.
  bool wait_ = false;
};
