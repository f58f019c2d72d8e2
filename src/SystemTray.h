// The program's icon beside the taskbar clock: its tooltip and balloons, and
// the clicks on it. A hidden window of its own hears the icon's callback
// messages; a right click (or a single left click, once the double-click time
// has passed) opens the tray menu, whose commands go to the main window, and
// a double click runs the menu's default command there.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <commctrl.h>

#include <string>

#include "GUI/BCMenu.h"
#include "GUI/Wnd.h"

class CSystemTray : public CWnd {
 public:
  static constexpr UINT kClickTimer = 1153;
  static constexpr size_t kTooltipLimit = 63;
  static constexpr size_t kBalloonTextLimit = 255;
  static constexpr size_t kBalloonTitleLimit = 63;
  static constexpr const char* kWindowClass = "TovikTrayWindow";
  // The menu's colours: icon column and highlight, background.
  static constexpr COLORREF kMenuFirstColor = 0x2222CF;
  static constexpr COLORREF kMenuBackground = 0xC0C0C0;

  CSystemTray();
  ~CSystemTray() override;

  // Adds the icon; `parent` (or the hidden window when null) hears
  // `callbackMessage`. Refused for a message below WM_USER or a tooltip
  // longer than kTooltipLimit; false when the shell would not add it.
  bool Create(HWND parent, UINT callbackMessage, const std::string& tooltip, HICON icon, UINT id);
  bool RemoveIcon();
  bool IsShown() const { return shown_; }

  bool SetTooltip(const std::string& text);
  bool SetTooltip(UINT stringId);
  std::string GetTooltip() const;
  bool SetIcon(HICON icon);
  bool SetIcon(UINT resourceId);
  bool SetNotificationWnd(HWND window);
  HWND NotificationWnd() const { return data_.hWnd; }
  // Only on 2000, XP and ME; `flags` 0-3 (none, information, warning,
  // error), 10-30 seconds.
  bool ShowBalloon(const std::string& text, const std::string& title, DWORD flags, UINT seconds);

  bool SetMenuDefaultItem(UINT item, bool byPosition);
  void EnableMenu(bool on) { menuEnabled_ = on; }
  bool MenuEnabled() const { return menuEnabled_; }
  UINT NotificationVersion() const { return version_; }

  // Loads the tray menu into `menu` with its texts, icons and default item;
  // its pop-up, or null when the resource does not load.
  BCMenu* BuildMenu(BCMenu& menu) const;

  // The icon's mouse messages for icon `id`; 0 for another icon.
  virtual LRESULT OnTrayNotification(WPARAM id, LPARAM mouseMessage);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool Modify(UINT flags);
  void OpenMenu();
  void OnClickTimer();
  static HWND MainWindow();

  NOTIFYICONDATAA data_{};
  UINT size_ = 0;
  UINT version_ = 0;
  bool shown_ = false;
  bool menuEnabled_ = true;
  UINT defaultItem_;
  bool defaultByPosition_ = false;
  HIMAGELIST images_ = nullptr;
  bool clickPending_ = false;
  bool doubleClickSeen_ = false;
};
