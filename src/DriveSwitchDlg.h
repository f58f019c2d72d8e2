// The hidden modal window a drive switch runs in: it is created without being
// shown, so the caller stays disabled while window messages keep flowing;
// 50 ms after it opens it closes the Explorer windows on the drive and starts
// the switch, and it ends with OK or Cancel when the drive is done.
#pragma once

#include <windows.h>

#include <string>

#include "CompletionObserver.h"
#include "GUI/Dialog.h"
#include "sdk/PDKSDK.h"

class CDriveSwitchDlg : public CDialog {
 public:
  static constexpr UINT_PTR kStartTimer = 1155;
  static constexpr UINT kStartDelayMs = 50;
  // Runs the switch modally without showing a window: IDOK when the drive
  // switched, IDCANCEL otherwise, -1 when the window could not be made.
  INT_PTR Run();

 protected:
  // doneMessage: what the observer posts to this window when the drive is done.
  CDriveSwitchDlg(UINT doneMessage, HWND parent);

  // The drive the switch is for; given before the dialog runs.
  void SetDeviceHandle(CPDK* device) { device_ = device; }
  CPDK* Device() const { return device_; }
  IDepositNotify& Observer() { return observer_; }
  // Starts the switch; 0 when it is under way or done.
  virtual int StartSwitch() = 0;
  // Whether a started switch reports its end through the observer's message.
  virtual bool WaitsForObserver() const = 0;
  // The error text of a switch refused with `code`.
  virtual std::string FailureText(int code) const = 0;

  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  CPDK* device_ = nullptr;
  const UINT doneMessage_;
  CCompletionObserver observer_;
};
