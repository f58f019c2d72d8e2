// The small skinned window of one Tovik Drive: its icon and label, size and
// free space, write-protection and privacy-zone marks, and the buttons that
// open, eject and hide it and reach its tools menu. The manager view keeps
// one per device id, made once and attached to a drive proxy while the drive
// is in; a directory monitor keeps the free space current while it shows.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "DiskMonitore.h"
#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"

class BCMenu;
class CDialog;
class CPDKProxy;

class CPlundaViewDlg : public CGUIDialog {
 public:
  // The debounce of the monitor's change notices.
  static constexpr UINT_PTR kChangeTimer = 1085;
  static constexpr UINT kChangeDelayMs = 1000;
  // The free text's colour when less than a twentieth of the drive is free.
  static constexpr COLORREF kNearlyFullColor = 0x190BA6;
  // The label is measured in the short rectangle; this wide or wider, it
  // takes the tall one.
  static constexpr int kLabelWrapWidth = 76;
  static constexpr RECT kLabelRect{56, 41, 120, 64};
  static constexpr RECT kTallLabelRect{56, 34, 120, 70};
  // Letter menu items: 1220 + position, at most ten letters.
  static constexpr UINT kFirstLetterCommand = 1220;
  static constexpr int kMaxLetterItems = 10;
  // Tools menu commands; the drive's own tools take 1240 to 1540.
  enum Command : UINT {
    kSettingsCommand = 32872,
    kLoginCommand = 32874,
    kLogoutCommand = 32875,
    kProtectCommand = 32876,
    kUnprotectCommand = 32877,
    kSyncFolderCommand = 32878,
    kSyncFavoritesCommand = 32879,
    kSyncDocumentsCommand = 32880,
    kPersonalFoldersCommand = 32881,
  };
  static constexpr UINT kLastToolCommand = 1540;

  // Template 504; Create() (inherited) makes it modeless and hidden.
  explicit CPlundaViewDlg(HWND parent = nullptr);
  ~CPlundaViewDlg() override;

  // False for a null proxy. Otherwise takes the drive: its root, the monitor
  // when "VisualIndication" is on, the space texts, the insertion sound, the
  // label and marks and the texts.
  bool Attach(CPDKProxy* proxy);
  // The drive was pulled out: also plays the removal sound when
  // "AudioIndication" is on.
  void Detach();
  // removed false forgets the drive without the removal sound.
  void Detach(bool removed);
  bool IsValid() const;
  CPDKProxy* Proxy() const { return proxy_; }
  // Label, icon, letters, the two marks, and the Send-To shortcuts.
  void Refresh();
  // Caption, button texts and tooltips in the current language, then the
  // space texts.
  void ReloadTexts();
  // Total and free text from the file system, the free text red when the
  // drive is nearly full, the letter button's root.
  void UpdateSpace();
  // Another privacy program holds the drive (true) or let it go (false).
  void SetPrivacyAppRunning(bool running);

  const std::string& RootPath() const { return root_; }
  const std::string& LettersText() const { return letters_; }
  // How often the space texts were read; the monitor's notices are counted by it.
  int SpaceUpdateCount() const { return spaceUpdates_; }
  bool MonitorRunning() const { return monitor_.IsRunning(); }
  // The window the tools menu or a command opened, while it is open.
  CDialog* ChildDialog() const { return child_; }
  // The capacity button's tooltip text as last set.
  const std::string& CapacityTip() const { return capacityTip_; }

  // A byte count as the view writes it: "Unformatted" for an unreadable
  // size (high part 0xFFFFFFFF), "%0.1f MB" up to 99 MB, "%u MB" above.
  static std::string FormatSize(DWORD low, DWORD high);
  // "12.3 Free" from 12.3 MB; "Tovik Drive" when the size is unreadable.
  static std::string FreeText(const ULARGE_INTEGER& freeBytes);
  // Both sizes readable and less than a twentieth free.
  static bool IsNearlyFull(const ULARGE_INTEGER& freeBytes, const ULARGE_INTEGER& totalBytes);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  // Enter and Escape leave the view alone.
  void OnOK() override {}
  void OnCancel() override {}
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void SetupControls();
  void AddToolTip(UINT id, const std::string& text);
  void SetToolTip(UINT id, const std::string& text);
  void SendToolTip(UINT message, UINT flags, UINT id, const std::string& text);
  void PlaceWindow();
  bool StartMonitor();
  void StopMonitor();
  void PlayInsertionSound();
  void RefreshLabel();
  void RefreshIndicators();
  void UpdateCapacityTip(const ULARGE_INTEGER& freeBytes, const ULARGE_INTEGER& totalBytes);
  void SetDriveIcon(HICON icon, bool owned);

  void OnChangeNotice();
  void OnOpen();
  void OnSelect();
  void OnTools();
  void OnHide();
  void OnEject();
  void OnDropFiles(HDROP drop);
  // The tools menu's items of a valid view.
  void AddDriveItems(BCMenu& popup);
  void OnToolsCommand(UINT id);
  void RunWriteProtection(bool protect);
  void RunPrivacySwitch(bool login);
  void RunSettings();
  void RunSync(int kind);
  void RunPersonalFolders();
  // Shows `dialog` modally as the view's open child; its result.
  INT_PTR RunChild(CDialog& dialog);
  // The shell's "open" of the root.
  void OpenRoot();
  // Where a menu of `button` shows: under the button, kept on the screen.
  POINT MenuPlace(UINT button, int menuHeight) const;
  bool DrawItem(const DRAWITEMSTRUCT& item);
  void DeleteSendToShortcuts();

  CPDKProxy* proxy_ = nullptr;
  std::string root_;
  std::string letters_;
  int letterCount_ = 0;
  std::string driveLetters_;  // the letters the Send-To shortcuts were made for
  CDiskMonitor monitor_;
  DWORD changeStamp_ = 0;
  CDialog* child_ = nullptr;
  int spaceUpdates_ = 0;
  std::string capacityTip_;
  // What SetPrivacyAppRunning acted on last.
  bool privacyAppRunning_ = false;

  HWND toolTip_ = nullptr;
  HICON driveIcon_ = nullptr;
  bool ownsDriveIcon_ = false;
  HICON capacityIcon_ = nullptr;
  HICON privacyIcons_[2] = {};
  HICON protectIcons_[2] = {};
  HIMAGELIST menuImages_ = nullptr;

  CGUIButton select_;
  CGUIButton tools_;
  CGUIButton hide_;
  CGUIButton eject_;
  CGUILabel capacity_;
  CGUILabel free_;
  CGUILabel label_;
};
