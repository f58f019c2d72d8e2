// Switches a drive's write protection on or off inside a hidden modal
// window (see CDriveSwitchDlg); tells the user when the drive refuses.
#pragma once

#include "DriveSwitchDlg.h"

class CWriteProtectionDlg : public CDriveSwitchDlg {
 public:
  static constexpr UINT kDoneMessage = 0x806C;
  static constexpr int kProtect = 1;
  static constexpr int kUnprotect = 0;

  explicit CWriteProtectionDlg(HWND parent = nullptr);
  // requestedState: kProtect or kUnprotect.
  void SetDevice(CPDK* device, int requestedState);

 protected:
  int StartSwitch() override;
  bool WaitsForObserver() const override { return true; }
  std::string FailureText(int code) const override;

 private:
  int requested_ = kUnprotect;
};
