// The hidden container of the drive views: one view per SDK device id (26),
// each made the first time its drive arrives. It places new views down the
// right edge of the screen, shows, hides and closes them, passes language
// and settings changes on, tells them every second whether another privacy
// application holds the drive ("Trellon"), and removes every Send-To
// shortcut of a drive when it opens and closes.
#pragma once

#include <windows.h>

#include <memory>

#include "GUI/Dialog.h"

class CPDKProxy;
class CPlundaViewDlg;

class CPlundaManagerViewDlg : public CDialog {
 public:
  static constexpr int kViewCount = 26;
  static constexpr UINT_PTR kWatchTimer = 1154;
  static constexpr UINT kWatchPeriodMs = 1000;
  static constexpr DWORD kWatchWaitMs = 500;
  static constexpr const char* kPrivacyAppMutex = "Trellon";
  static constexpr int kFirstTop = 60;
  static constexpr int kSecondColumnTop = 80;
  static constexpr int kSecondColumnOffset = 60;

  explicit CPlundaManagerViewDlg(HWND parent);
  ~CPlundaManagerViewDlg() override;

  // Gives the drive of `proxy` its view (made when missing), places it, shows
  // it when "VisualIndication" is on and runs the drive's autorun when
  // "AutorunEnabled" is on; false for a drive the SDK no longer holds.
  bool AddDrive(CPDKProxy* proxy);
  // Hides the view of device `id` and lets its drive go; whether it had a window.
  bool RemoveDrive(int id);
  void ChangeDrive(CPDKProxy* proxy);
  void CloseAll();
  void LanguageChanged();
  void ApplySettings();

  virtual bool PositionView(CPlundaViewDlg& view);
  virtual void HideAll();
  virtual void ShowAll();

  // The view of device `id`, or null when it has no object yet.
  CPlundaViewDlg* View(int id) const;
  int NextTop() const { return nextTop_; }
  int RightOffset() const { return rightOffset_; }

 protected:
  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static bool InRange(int id) { return id >= 0 && id < kViewCount; }
  static bool Visible(const CPlundaViewDlg* view);
  static void DeleteSendToShortcuts();
  void WatchPrivacyApplication();
  void OnDestroy();

  std::unique_ptr<CPlundaViewDlg> views_[kViewCount];
  int nextTop_ = kFirstTop;
  int rightOffset_ = 0;
};
