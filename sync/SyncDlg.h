// The sync window: the actions a scan proposes, one alternative per action
// by context menu, and the run on the engine's worker thread with a progress
// bar. The worker's reports come in as messages sent to this window, so every
// box and list change happens on the window's thread.
//
// The engine belongs to the caller and must be destroyed (which waits for its
// worker) before this window's object: the worker's last report may still be
// under way when the window closes.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"
#include "SyncEngine.h"
#include "SyncObserver.h"
#include "resource.h"

namespace tovik {

class CSyncSettingsDlg;

class CSyncDlg : public CGUIDialog, public CSyncObserver {
 public:
  static constexpr UINT kActionFailed = WM_USER + 100;
  static constexpr UINT kRunComplete = WM_USER + 101;
  static constexpr UINT kRunError = WM_USER + 102;
  static constexpr UINT_PTR kScanTimer = 1144;
  static constexpr int kItemHeight = 70;
  static constexpr UINT kWaitStepMs = 300;

  // `firstVolume`: the drive's first volume letter, for the settings dialog.
  CSyncDlg(HWND parent, CSyncEngine& engine, char firstVolume);
  ~CSyncDlg() override;

  // The verb the window shows for an action kind.
  static std::string VerbOf(SyncActionKind kind);

  // A scan that failed ends the window; its code is here for the caller's box.
  bool ScanFailed(int& code) const;

  bool OnActionFailed(CSyncAction* action) override;
  void OnError(int code) override;
  bool OnProgress(int percent) override;

  bool Running() const { return running_ != 0; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  bool OnPreTranslate(MSG& msg) override;
  // Enter and Escape reach the dialog as OK and Cancel: only Close ends it.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  // The list control, taken over for the clicks that open the alternatives.
  class CActionList : public CWnd {
   public:
    explicit CActionList(CSyncDlg& owner) : owner_(owner) {}

   protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

   private:
    CSyncDlg& owner_;
  };

  void Scan();
  void ShowStatus(UINT textId);
  void Synchronize();
  void OpenSettings();
  void Close();
  void OpenAlternatives(int item);
  void ChooseAlternative(SyncActionKind kind);
  void DrawItem(const DRAWITEMSTRUCT& item) const;
  LRESULT ActionFailed(CSyncAction* action);
  void RunComplete();
  void RunError(int code);
  HWND List() const { return GetDlgItem(IDC_ACTIONS_LIST); }

  CSyncEngine& engine_;
  const char firstVolume_;
  HIMAGELIST images_ = nullptr;
  HFONT timeFont_ = nullptr;
  CSyncAction* const* actions_ = nullptr;
  int count_ = 0;
  // Written by one thread and read by the other.
  volatile LONG running_ = 0;
  volatile LONG cancel_ = 0;
  CSyncSettingsDlg* settings_ = nullptr;  // while the settings are open
  bool asking_ = false;                   // the failure box is up
  bool closeWanted_ = false;              // Close came while it was
  bool scanFailed_ = false;
  int scanError_ = 0;
  CActionList list_;
  CGUILabel caption_, header_, hostLabel_, driveLabel_;
  CGUIButton settingsButton_, synchronize_, close_;
};

}  // namespace tovik
