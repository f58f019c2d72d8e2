#include "SystemTray.h"

#include <exception>

#include "GUI/Application.h"
#include "GUI/Trace.h"
#include "StringLoader.h"
#include "WindowsKind.h"
#include "resource.h"
#include "strings.h"

namespace {

// The items whose text (and icon) the string tables give, in menu order;
// image -1: no icon.
const struct {
  UINT command;
  UINT text;
  int image;
} kMenuItems[] = {
    {ID_TRAY_PREFERENCES, IDS_MENU_PREFERENCES, 0},
    {ID_TRAY_HIDE, IDS_MENU_HIDE, -1},
    {ID_TRAY_SHOW, IDS_MENU_SHOW, -1},
    {ID_TRAY_HELP_TOPICS, IDS_MENU_HELP, 3},
    {ID_TRAY_ABOUT, IDS_MENU_ABOUT, 2},
    {ID_TRAY_WEB_SITE, IDS_MENU_WEB_SITE, -1},
    {ID_TRAY_CHECK_VERSION, IDS_MENU_CHECK_VERSION, -1},
    {ID_TRAY_EXIT, IDS_MENU_EXIT, 1},
};

// The image list's order: preferences, exit, about, help.
const UINT kMenuIcons[] = {IDI_MENU_PREFERENCES, IDI_MENU_EXIT, IDI_MENU_ABOUT, IDI_MENU_HELP};

// Balloons and the version-3 record exist from the shell of 2000, XP and ME on.
bool HasBalloons() {
  const int kind = GetWindowsKind();
  return kind == kWin2000 || kind == kWinXP || kind == kWinME;
}

void CopyText(char* target, size_t size, const std::string& text) {
  lstrcpynA(target, text.c_str(), int(size));
}

HICON LoadIconResource(UINT id, int size) {
  return static_cast<HICON>(
      LoadImageA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

}  // namespace

CSystemTray::CSystemTray() : defaultItem_(ID_TRAY_SHOW) {
  images_ = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 0);
  for (UINT iconId : kMenuIcons) {
    HICON image = LoadIconResource(iconId, 16);
    ImageList_AddIcon(images_, image);
    if (image != nullptr) DestroyIcon(image);
  }
}

CSystemTray::~CSystemTray() {
  if (shown_) RemoveIcon();
  if (images_ != nullptr) ImageList_Destroy(images_);
  if (hwnd_ != nullptr) {
    HWND window = hwnd_;
    DetachHandle();
    ::DestroyWindow(window);
  }
}

bool CSystemTray::Create(HWND parent, UINT callbackMessage, const std::string& tooltip, HICON icon,
                         UINT id) {
  if (callbackMessage < WM_USER || tooltip.size() > kTooltipLimit) return false;
  if (hwnd_ == nullptr) {
    static const bool registered = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = &CSystemTray::TrayWindowProc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = kWindowClass;
      return RegisterClassA(&wc) != 0;
    }();
    if (!registered) return false;
    CreateWindowExA(0, kWindowClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                    GetModuleHandleA(nullptr), this);
    if (hwnd_ == nullptr) return false;
  }
  version_ = HasBalloons() ? NOTIFYICON_VERSION : 0;
  // The shell of 98 SE knows only the first, short record.
  size_ = version_ != 0 ? UINT(NOTIFYICONDATAA_V2_SIZE) : UINT(NOTIFYICONDATAA_V1_SIZE);
  data_ = NOTIFYICONDATAA{};
  data_.cbSize = size_;
  data_.hWnd = parent != nullptr ? parent : hwnd_;
  data_.uID = id;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = callbackMessage;
  data_.hIcon = icon;
  CopyText(data_.szTip, kTooltipLimit + 1, tooltip);
  if (Shell_NotifyIconA(NIM_ADD, &data_) == FALSE) {
    TraceError(__FILE__, __LINE__, "AddIcon");
    return false;
  }
  shown_ = true;
  if (version_ != 0) {
    data_.uVersion = version_;
    Shell_NotifyIconA(NIM_SETVERSION, &data_);
  }
  return true;
}

bool CSystemTray::RemoveIcon() {
  if (!shown_) {
    TraceError(__FILE__, __LINE__, "RemoveIcon - not in use");
    return false;
  }
  data_.uFlags = 0;
  Shell_NotifyIconA(NIM_DELETE, &data_);
  shown_ = false;
  return true;
}

bool CSystemTray::Modify(UINT flags) {
  data_.uFlags = flags;
  return Shell_NotifyIconA(NIM_MODIFY, &data_) != FALSE;
}

bool CSystemTray::SetTooltip(const std::string& text) {
  if (!shown_ || text.size() > kTooltipLimit) return false;
  CopyText(data_.szTip, kTooltipLimit + 1, text);
  return Modify(NIF_TIP);
}

bool CSystemTray::SetTooltip(UINT stringId) {
  return SetTooltip(CStringLoader::LoadString(stringId));
}

std::string CSystemTray::GetTooltip() const { return shown_ ? std::string(data_.szTip) : ""; }

bool CSystemTray::SetIcon(HICON icon) {
  if (!shown_) return false;
  data_.hIcon = icon;
  return Modify(NIF_ICON);
}

bool CSystemTray::SetIcon(UINT resourceId) { return SetIcon(LoadIconResource(resourceId, 16)); }

bool CSystemTray::SetNotificationWnd(HWND window) {
  if (!shown_ || window == nullptr || ::IsWindow(window) == FALSE) return false;
  data_.hWnd = window;
  return Modify(0);
}

bool CSystemTray::ShowBalloon(const std::string& text, const std::string& title, DWORD flags,
                              UINT seconds) {
  if (version_ == 0 || !shown_) return false;
  if (text.empty() || title.empty() || text.size() > kBalloonTextLimit ||
      title.size() > kBalloonTitleLimit || flags > NIIF_ERROR || seconds < 10 || seconds > 30) {
    return false;
  }
  CopyText(data_.szInfo, sizeof data_.szInfo, text);
  CopyText(data_.szInfoTitle, sizeof data_.szInfoTitle, title);
  data_.dwInfoFlags = flags;
  data_.uTimeout = seconds * 1000;
  const bool shownNow = Modify(NIF_INFO);
  // A later change of the tooltip or icon must not bring the balloon back.
  data_.szInfo[0] = '\0';
  return shownNow;
}

bool CSystemTray::SetMenuDefaultItem(UINT item, bool byPosition) {
  if (item == defaultItem_ && byPosition == defaultByPosition_) return true;
  defaultItem_ = item;
  defaultByPosition_ = byPosition;
  HMENU menu = LoadMenuA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(data_.uID));
  if (menu == nullptr) return false;
  const bool hasPopup = GetSubMenu(menu, 0) != nullptr;
  DestroyMenu(menu);
  return hasPopup;
}

BCMenu* CSystemTray::BuildMenu(BCMenu& menu) const {
  if (!menu.LoadMenu(IDR_TRAY_MENU)) return nullptr;
  BCMenu* popup = menu.GetSubMenu(0);
  if (popup == nullptr) return nullptr;
  menu.SetColors(kMenuFirstColor, kMenuBackground, 0);
  menu.SetIconSize(16, 16);
  for (const auto& item : kMenuItems) {
    popup->ModifyODMenu(CStringLoader::LoadString(item.text), item.command,
                        item.image >= 0 ? images_ : nullptr, item.image);
  }
  ::SetMenuDefaultItem(popup->GetSafeHmenu(), defaultItem_, defaultByPosition_ ? TRUE : FALSE);
  return popup;
}

HWND CSystemTray::MainWindow() {
  CApplication* app = CApplication::Current();
  return app != nullptr ? app->MainWindow() : nullptr;
}

void CSystemTray::OpenMenu() {
  BCMenu menu;
  BCMenu* popup = BuildMenu(menu);
  if (popup == nullptr) return;
  POINT at{};
  GetCursorPos(&at);
  HWND owner = MainWindow();
  if (owner == nullptr) owner = hwnd_;
  // The menu makes the owner the foreground window and posts it WM_NULL
  // afterwards, without which it would not close on a click elsewhere.
  popup->TrackPopupMenu(TPM_RIGHTBUTTON, at.x, at.y, owner);
  menu.DestroyMenu();
}

LRESULT CSystemTray::OnTrayNotification(WPARAM id, LPARAM mouseMessage) {
  if (id != data_.uID) return 0;
  if (!menuEnabled_) {
    // A dialog of the main window is open: bring it forward instead.
    if (HWND main = MainWindow()) {
      HWND popup = GetLastActivePopup(main);
      SetForegroundWindow(popup);
      BringWindowToTop(popup);
    }
    return 0;
  }
  switch (LOWORD(mouseMessage)) {
    case WM_RBUTTONUP:
      OpenMenu();
      break;
    case WM_LBUTTONUP:
      if (doubleClickSeen_) return 1;
      ::SetTimer(hwnd_, kClickTimer, GetDoubleClickTime() + 100, nullptr);
      clickPending_ = true;
      break;
    case WM_LBUTTONDBLCLK: {
      doubleClickSeen_ = true;
      clickPending_ = false;
      HWND main = MainWindow();
      if (main != nullptr) {
        SetForegroundWindow(main);
        SendMessageA(main, WM_COMMAND, defaultItem_, 0);
      }
      break;
    }
    default:
      break;
  }
  return 1;
}

void CSystemTray::OnClickTimer() {
  ::KillTimer(hwnd_, kClickTimer);
  if (clickPending_ && !doubleClickSeen_) {
    // A single click opens the same menu as a right click.
    PostMessageA(data_.hWnd, data_.uCallbackMessage, data_.uID, WM_RBUTTONUP);
  } else {
    doubleClickSeen_ = false;
  }
  clickPending_ = false;
}

LRESULT CSystemTray::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == data_.uCallbackMessage && data_.uCallbackMessage != 0) {
      return OnTrayNotification(wParam, lParam);
    }
    if (message == WM_TIMER && wParam == kClickTimer) {
      OnClickTimer();
      return 0;
    }
    if (message == WM_MEASUREITEM &&
        BCMenu::MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) {
      return TRUE;
    }
    if (message == WM_DRAWITEM &&
        BCMenu::DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
      return TRUE;
    }
  } catch (const std::exception& e) {
    TraceException(__FILE__, __LINE__, e.what());
    return 0;
  } catch (...) {
    TraceException(__FILE__, __LINE__, nullptr);
    return 0;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CSystemTray::TrayWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<CSystemTray*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->AttachHandle(window);
  }
  CWnd* object = CWnd::FromHandle(window);
  auto* self = dynamic_cast<CSystemTray*>(object);
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->DetachHandle();
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return self->WindowProc(message, wParam, lParam);
}
