// The program's main window: an invisible dialog, "Pakkeo Dialog", for as
// long as the program runs. It owns the tray icon and the manager view of
// the drive views, hears the drive manager's messages, the tray menu's
// commands and what a second start of the program asks, and ends the
// program's only message loop when the user quits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "GUI/Dialog.h"
#include "SystemTray.h"

class CPDKManager;
class CPlundaManagerViewDlg;

// The tray icon's callback.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 17;
// Sent by another process of the program (found by the caption).
constexpr UINT WM_SHOW_RUNNING = WM_USER + 46;
constexpr UINT WM_NEWER_LAUNCHED = WM_USER + 47;
// wParam, lParam: the sender's packed product version, high and low word.
constexpr UINT WM_VERSION_CHECK = WM_USER + 48;
constexpr UINT WM_UNINSTALL_EXIT = WM_USER + 49;

class CKestovaDlg : public CDialog {
 public:
  static constexpr const char* kCaption = "Pakkeo Dialog";
  // What the modal loop answers when the user (or the system) quits.
  static constexpr INT_PTR kQuitResult = 5;

  CKestovaDlg();
  ~CKestovaDlg() override;

  // Whether a packed version (high, low) is newer than (ownHigh, ownLow).
  static bool IsNewer(uint32_t high, uint32_t low, uint32_t ownHigh, uint32_t ownLow);

  CSystemTray& Tray() { return tray_; }
  CPlundaManagerViewDlg* ManagerView() { return managerView_.get(); }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // The invisible window has nothing for Enter and Escape to end.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  bool OnDriveMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool OnProgramMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool ManagerViewReady(const char* failure) const;
  void ShowPopup(UINT textId, UINT pictureId, UINT timeout);
  void OnShow();
  void OnAbout();
  void OnPreferences();
  void OnExit();
  void Quit();
  void OnDestroy();

  CSystemTray tray_;
  CPDKManager* manager_ = nullptr;
  std::unique_ptr<CPlundaManagerViewDlg> managerView_;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HICON trayIcon_ = nullptr;
};
