// Asks for the password of a drive's privacy zone and enters the zone: the
// hint stored on the drive is shown, wrong passwords are counted and the
// fifth ends the dialog; the Explorer windows on the drive are closed before
// each attempt, as the volume's content is about to change.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "CompletionObserver.h"
#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"
#include "sdk/PDKSDK.h"

class CDepositLoginDlg : public CGUIDialog {
 public:
  static constexpr UINT kDoneMessage = 0x806A;
  static constexpr int kMaxPasswordLength = 15;
  static constexpr uint16_t kLastAttempt = 5;

  explicit CDepositLoginDlg(HWND parent = nullptr);
  // The drive to log in; given before the dialog runs.
  void SetDevice(CPDK* device) { device_ = device; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void EnableInput(bool enable);
  // The error box of a refused attempt; true when the dialog ends after it.
  bool ShowFailure(int code);

  CPDK* device_ = nullptr;
  uint16_t attempts_ = 0;
  // The zone was not active when the dialog opened: the drive reports the end
  // of the switch from its own thread.
  bool wait_ = false;
  CCompletionObserver observer_{*this, kDoneMessage};
  CGUILabel caption_;
  CGUILabel passwordLabel_;
  CGUILabel hintLabel_;
  CGUILabel hint_;
  CGUIButton ok_;
  CGUIButton cancel_;
};
