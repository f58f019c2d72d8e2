#include "PlundaViewDlg.h"

#include <windowsx.h>

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <vector>

#include "AppSettings.h"
#include "DepositLoginDlg.h"
#include "DepositLogoutDlg.h"
#include "GUI/Application.h"
#include "GUI/BCMenu.h"
#include "GUI/Trace.h"
#include "GUIMessageBoxCheckDlg.h"
#include "PDKProxy.h"
#include "PersonalFolders.h"
#include "PlundaPreferencesDlg.h"
#include "StringLoader.h"
#include "SyncEntry.h"
#include "ToolsList.h"
#include "WinExplorer.h"
#include "WindowsKind.h"
#include "WriteProtectionDlg.h"
#include "resource.h"
#include "strings.h"

namespace {
// The skin's panel behind the texts, and the texts on it.
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(0, 0, 0);
const COLORREF kButtonText = RGB(40, 40, 40);
// The tools menu's colours.
const COLORREF kMenuFirst = RGB(207, 34, 34);
const COLORREF kMenuBackground = RGB(192, 192, 192);
const int kMenuIconSize = 32;
const char kSizeFont[] = "MS Serif";
const int kSizeFontHeight = 70;   // tenths of a point
const int kLabelFontHeight = 90;  // tenths of a point
const double kMegabyte = 1048576.0;
// What SHFormatDrive answers for an error, a cancel and a drive it could not format.
const DWORD kFormatFailures[] = {0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFDu};
const UINT kFormatDefaultOptions = 1;

struct Place {
  UINT id;
  const char* name;
  RECT r;  // left, top, right, bottom
};
// The view's controls in client pixels, on skin 307 (216 x 96).
const Place kPlaces[] = {
    {IDC_LOGO_STATIC, "IDC_LOGO_STATIC", {6, 4, 70, 20}},
    {IDC_SELECT_BUTTON, "IDC_SELECT_BUTTON", {128, 3, 190, 21}},
    {IDC_WIN_HIDE_BUTTON, "IDC_WIN_HIDE_BUTTON", {194, 3, 212, 21}},
    {IDC_OPEN_BUTTON, "IDC_OPEN_BUTTON", {12, 36, 48, 72}},
    {IDC_LABEL_CTL, "IDC_LABEL_CTL", {56, 41, 120, 64}},
    {IDC_CAPACITY_BUTTON, "IDC_CAPACITY_BUTTON", {122, 37, 138, 53}},
    {IDC_CAPACITY_CTL, "IDC_CAPACITY_CTL", {141, 30, 213, 45}},
    {IDC_FREESPACE_CTL, "IDC_FREESPACE_CTL", {141, 46, 213, 61}},
    {IDC_FILE_DLG_MARKER, "IDC_FILE_DLG_MARKER", {126, 64, 142, 70}},
    {IDC_SAFE_EJECT_BUTTON, "IDC_SAFE_EJECT_BUTTON", {6, 75, 72, 93}},
    {IDC_TOOLS_BUTTON, "IDC_TOOLS_BUTTON", {76, 75, 142, 93}},
    {IDC_PRIVACY_INDICATION, "IDC_PRIVACY_INDICATION", {172, 76, 188, 92}},
    {IDC_WPROTECT_INDICATION, "IDC_WPROTECT_INDICATION", {192, 76, 208, 92}},
};

// The picture buttons' bitmaps: normal, pressed, focused, disabled.
struct PictureButton {
  UINT id;
  UINT normal, pressed, focused, disabled;
};
const PictureButton kPictureButtons[] = {
    {IDC_SAFE_EJECT_BUTTON, IDB_EJECT_NORMAL, IDB_EJECT_PRESSED, IDB_EJECT_FOCUSED,
     IDB_EJECT_DISABLED},
    {IDC_SELECT_BUTTON, IDB_SELECT_NORMAL, IDB_SELECT_PRESSED, IDB_SELECT_FOCUSED,
     IDB_SELECT_DISABLED},
    {IDC_TOOLS_BUTTON, IDB_TOOLS_NORMAL, IDB_TOOLS_PRESSED, IDB_TOOLS_FOCUSED, IDB_TOOLS_DISABLED},
    {IDC_WIN_HIDE_BUTTON, IDB_HIDE_NORMAL, IDB_HIDE_PRESSED, IDB_HIDE_FOCUSED, IDB_HIDE_DISABLED},
};

struct Tip {
  UINT id;
  UINT text;
};
const Tip kTips[] = {
    {IDC_TOOLS_BUTTON, IDS_TIP_TOOLS},         {IDC_SELECT_BUTTON, IDS_TIP_SELECT},
    {IDC_SAFE_EJECT_BUTTON, IDS_TIP_EJECT},    {IDC_WIN_HIDE_BUTTON, IDS_TIP_HIDE},
    {IDC_OPEN_BUTTON, IDS_TIP_OPEN},
};

HICON LoadIconResource(UINT id, int size) {
  return static_cast<HICON>(LoadImageA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(id),
                                       IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

bool Readable(const ULARGE_INTEGER& value) { return value.HighPart != 0xFFFFFFFFu; }

std::string FolderOfPath(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool SameText(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}
}  // namespace

CPlundaViewDlg::CPlundaViewDlg(HWND parent) : CGUIDialog(IDD_PLUNDA_VIEW_DIALOG, parent) {}

CPlundaViewDlg::~CPlundaViewDlg() {
  monitor_.StopDirectoryMonitor("not in use");
  if (ownsDriveIcon_ && driveIcon_ != nullptr) DestroyIcon(driveIcon_);
  for (HICON icon : {capacityIcon_, privacyIcons_[0], privacyIcons_[1], protectIcons_[0],
                     protectIcons_[1]}) {
    if (icon != nullptr) DestroyIcon(icon);
  }
  if (menuImages_ != nullptr) ImageList_Destroy(menuImages_);
}

// ---------------------------------------------------------------- sizes

std::string CPlundaViewDlg::FormatSize(DWORD low, DWORD high) {
  if (high == 0xFFFFFFFFu) return CStringLoader::LoadString(IDS_UNFORMATTED);
  const double megabytes = double(low) / kMegabyte;
  char text[64];
  // Whole megabytes decide: 99.5 MB is still written with its tenth.
  if (unsigned(megabytes) > 99) {
    std::snprintf(text, sizeof text, CStringLoader::LoadString(IDS_SIZE_MB).c_str(),
                  unsigned(megabytes));
  } else {
    std::snprintf(text, sizeof text, CStringLoader::LoadString(IDS_SIZE_MB_DECIMAL).c_str(),
                  megabytes);
  }
  return text;
}

std::string CPlundaViewDlg::FreeText(const ULARGE_INTEGER& freeBytes) {
  if (!Readable(freeBytes)) return CStringLoader::LoadString(IDS_PRODUCT_DRIVE);
  std::string text = FormatSize(freeBytes.LowPart, freeBytes.HighPart);
  const size_t space = text.find(' ');
  if (space != std::string::npos) text.insert(space + 1, CStringLoader::LoadString(IDS_FREE));
  // What stays of the unit after the word: "12.3 FreeMB" loses its "MB".
  text.resize(text.size() >= 2 ? text.size() - 2 : 0);
  return text;
}

bool CPlundaViewDlg::IsNearlyFull(const ULARGE_INTEGER& freeBytes,
                                  const ULARGE_INTEGER& totalBytes) {
  return Readable(freeBytes) && Readable(totalBytes) &&
         freeBytes.LowPart < totalBytes.LowPart / 20;
}

// ---------------------------------------------------------------- opening

BOOL CPlundaViewDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetIconResource(IDI_APPLICATION_ICON);
  SetSkin(IDG_PLUNDA_VIEW_SKIN);
  for (const Place& p : kPlaces) SetControlInfo(p.id, p.name, p.r.top, p.r.bottom, p.r.left, p.r.right);
  ApplySkinAndLayout();
  SetShape(IDB_PLUNDA_VIEW_SHAPE);
  SetupControls();
  DragAcceptFiles(hwnd_, TRUE);
  return TRUE;
}

void CPlundaViewDlg::SetupControls() {
  for (const PictureButton& b : kPictureButtons) {
    CGUIButton& button = b.id == IDC_SAFE_EJECT_BUTTON ? eject_
                         : b.id == IDC_SELECT_BUTTON   ? select_
                         : b.id == IDC_TOOLS_BUTTON    ? tools_
                                                       : hide_;
    button.Attach(hwnd_, b.id);
    button.SetBitmaps(CGUIButton::kNormal, b.normal, 0, 0);
    button.SetBitmaps(CGUIButton::kPressed, b.pressed, 0, 0);
    button.SetBitmaps(CGUIButton::kFocused, b.focused, 0, 0);
    button.SetBitmaps(CGUIButton::kDisabled, b.disabled, 0, 0);
    button.SetTextColor(kButtonText);
    button.SetTextAlignment(0);
  }
  struct Text {
    CGUILabel& label;
    UINT id;
    int height;
  };
  for (const Text& t : {Text{capacity_, IDC_CAPACITY_CTL, kSizeFontHeight},
                        Text{free_, IDC_FREESPACE_CTL, kSizeFontHeight},
                        Text{label_, IDC_LABEL_CTL, kLabelFontHeight}}) {
    t.label.SubclassDlgItem(t.id, hwnd_);
    t.label.SetBackgroundColor(kPanel);
    t.label.SetTextColor(kText);
    t.label.SetFontHeight(t.height);
  }
  capacity_.SetFont(kSizeFont, DEFAULT_CHARSET);
  free_.SetFont(kSizeFont, DEFAULT_CHARSET);
  label_.SetBold(true);

  capacityIcon_ = LoadIconResource(IDI_CAPACITY, 16);
  privacyIcons_[0] = LoadIconResource(IDI_PRIVACY_LOGGED_OUT, 16);
  privacyIcons_[1] = LoadIconResource(IDI_PRIVACY_LOGGED_IN, 16);
  protectIcons_[0] = LoadIconResource(IDI_WRITABLE, 16);
  protectIcons_[1] = LoadIconResource(IDI_WRITE_PROTECTED, 16);
  SetDriveIcon(LoadIconResource(IDI_DRIVE_DEFAULT, 32), true);

  toolTip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                             nullptr, CApplication::ResourceHandle(), nullptr);
  SendMessageA(toolTip_, TTM_SETMAXTIPWIDTH, 0, 300);
  for (const Tip& tip : kTips) AddToolTip(tip.id, CStringLoader::LoadString(tip.text));
  AddToolTip(IDC_CAPACITY_BUTTON, " ");
  ShowWindow(GetDlgItem(IDC_PRIVACY_INDICATION), SW_HIDE);
  ShowWindow(GetDlgItem(IDC_WPROTECT_INDICATION), SW_HIDE);
  EnableWindow(GetDlgItem(IDC_SELECT_BUTTON), FALSE);
}

void CPlundaViewDlg::AddToolTip(UINT id, const std::string& text) {
  SendToolTip(TTM_ADDTOOLA, TTF_SUBCLASS, id, text);
}

void CPlundaViewDlg::SetToolTip(UINT id, const std::string& text) {
  SendToolTip(TTM_UPDATETIPTEXTA, 0, id, text);
}

void CPlundaViewDlg::SendToolTip(UINT message, UINT flags, UINT id, const std::string& text) {
  HWND control = GetDlgItem(int(id));
  if (toolTip_ == nullptr || control == nullptr) return;
  std::string copy = text;
  TTTOOLINFOA tool{};
  // The first layout of the structure: every version of the control takes it.
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.uFlags = flags | TTF_IDISHWND;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = &copy[0];
  SendMessageA(toolTip_, message, 0, reinterpret_cast<LPARAM>(&tool));
}

// ---------------------------------------------------------------- drive

bool CPlundaViewDlg::Attach(CPDKProxy* proxy) {
  if (proxy == nullptr) return false;
  proxy_ = proxy;
  PlaceWindow();
  root_ = proxy_->RootPath();
  if (CAppSettings().ReadSetting("VisualIndication") != 0 && !StartMonitor())
    TraceError(__FILE__, __LINE__, "Unable to StartDirectoryMonitor\n");
  UpdateSpace();
  PlayInsertionSound();
  Refresh();
  ReloadTexts();
  return true;
}

void CPlundaViewDlg::Detach() { Detach(true); }

void CPlundaViewDlg::Detach(bool removed) {
  if (!IsValid()) return;
  if (child_ != nullptr) child_->EndDialog(IDCANCEL);
  StopMonitor();
  if (removed && CAppSettings().ReadSetting("AudioIndication") != 0) {
    PlaySoundA(MAKEINTRESOURCEA(IDW_REMOVED), CApplication::ResourceHandle(),
               SND_RESOURCE | SND_ASYNC);
  }
  DeleteSendToShortcuts();
  proxy_ = nullptr;
  root_.clear();
  letters_.clear();
  letterCount_ = 0;
}

bool CPlundaViewDlg::IsValid() const { return proxy_ != nullptr && proxy_->IsValid(); }

void CPlundaViewDlg::PlaceWindow() {
  if (hwnd_ == nullptr) return;
  const bool onTop = CAppSettings().ReadSetting("AlwaysOntop") != 0;
  SetWindowPos(hwnd_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool CPlundaViewDlg::StartMonitor() {
  if (hwnd_ == nullptr || root_.empty()) return false;
  return monitor_.StartDirectoryMonitor(root_, hwnd_);
}

void CPlundaViewDlg::StopMonitor() { monitor_.StopDirectoryMonitor("not in use yet"); }

void CPlundaViewDlg::PlayInsertionSound() {
  if (CAppSettings().ReadSetting("AudioIndication") == 0) return;
  std::string path;
  int index = 0;
  if (proxy_->GetPersonalSound(path, index) == CPDKProxy::kPersonalSet && !path.empty()) {
    PlaySoundA(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC);
    return;
  }
  PlaySoundA(MAKEINTRESOURCEA(IDW_INSERTED), CApplication::ResourceHandle(),
             SND_RESOURCE | SND_ASYNC);
}

void CPlundaViewDlg::Refresh() {
  if (!IsValid()) return;
  letters_ = proxy_->LettersText();
  letterCount_ = proxy_->LetterCount();
  if (hwnd_ == nullptr) return;
  EnableWindow(GetDlgItem(IDC_SELECT_BUTTON), letterCount_ != 1);
  RefreshLabel();
  RefreshIndicators();
  // XP keeps a Send-To entry for removable drives itself.
  if (GetWindowsKind() != kWinXP) {
    driveLetters_ = proxy_->Letters();
    for (char letter : driveLetters_) CWinExplorer::CreateSendToShortcut(letter);
  }
}

void CPlundaViewDlg::DeleteSendToShortcuts() {
  for (char letter : driveLetters_) CWinExplorer::DeleteSendToShortcut(letter);
  driveLetters_.clear();
}

void CPlundaViewDlg::RefreshLabel() {
  std::string text;
  if (proxy_->GetLabel(text) != CPDKProxy::kPersonalSet || text.empty()) {
    if (text.empty()) OutputDebugStringA("QueryLabel fail\n");
    text = CStringLoader::LoadString(IDS_PRODUCT_DRIVE);
  }
  label_.SetText(text);
  HWND control = label_.GetSafeHwnd();
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, label_.Font());
  RECT measured = kLabelRect;
  DrawTextA(dc, text.c_str(), int(text.size()), &measured, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  const RECT& r =
      measured.right - measured.left >= kLabelWrapWidth ? kTallLabelRect : kLabelRect;
  MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);

  HICON icon = nullptr;
  int index = 0;
  if (proxy_->GetPersonalIcon(icon, index) == CPDKProxy::kPersonalSet && icon != nullptr) {
    SetDriveIcon(icon, true);
  } else {
    SetDriveIcon(LoadIconResource(IDI_DRIVE_DEFAULT, 32), true);
  }
}

void CPlundaViewDlg::SetDriveIcon(HICON icon, bool owned) {
  if (ownsDriveIcon_ && driveIcon_ != nullptr) DestroyIcon(driveIcon_);
  driveIcon_ = icon;
  ownsDriveIcon_ = owned;
  InvalidateRect(GetDlgItem(IDC_OPEN_BUTTON), nullptr, TRUE);
}

void CPlundaViewDlg::RefreshIndicators() {
  HWND privacy = GetDlgItem(IDC_PRIVACY_INDICATION);
  const bool hasZone = proxy_->IsPrivacySupported() && proxy_->HasPrivacyZone();
  SetWindowLongPtrA(privacy, GWLP_USERDATA, proxy_->IsLoggedIn() ? 1 : 0);
  ShowWindow(privacy, hasZone ? SW_SHOW : SW_HIDE);
  InvalidateRect(privacy, nullptr, TRUE);

  HWND protect = GetDlgItem(IDC_WPROTECT_INDICATION);
  const bool supported = proxy_->IsWriteProtectSupported();
  SetWindowLongPtrA(protect, GWLP_USERDATA, supported && proxy_->IsWriteProtected() ? 1 : 0);
  ShowWindow(protect, supported ? SW_SHOW : SW_HIDE);
  InvalidateRect(protect, nullptr, TRUE);
}

void CPlundaViewDlg::ReloadTexts() {
  if (hwnd_ == nullptr) return;
  SetWindowText(CStringLoader::LoadString(IDS_VIEW_CAPTION) + letters_);
  eject_.SetText(CStringLoader::LoadString(IDS_EJECT));
  tools_.SetText(CStringLoader::LoadString(IDS_TOOLS));
  for (const Tip& tip : kTips) SetToolTip(tip.id, CStringLoader::LoadString(tip.text));
  UpdateSpace();
}

void CPlundaViewDlg::UpdateSpace() {
  ++spaceUpdates_;
  ULARGE_INTEGER freeBytes{}, totalBytes{};
  CWinExplorer::GetDiskSpace(root_, freeBytes, totalBytes);
  if (hwnd_ == nullptr) return;
  free_.SetTextColor(IsNearlyFull(freeBytes, totalBytes) ? kNearlyFullColor : kText);
  free_.SetText(FreeText(freeBytes));
  capacity_.SetText(FormatSize(totalBytes.LowPart, totalBytes.HighPart));
  select_.SetText(root_);
  UpdateCapacityTip(freeBytes, totalBytes);
}

void CPlundaViewDlg::UpdateCapacityTip(const ULARGE_INTEGER& freeBytes,
                                       const ULARGE_INTEGER& totalBytes) {
  const int capacity = proxy_ != nullptr ? proxy_->Capacity() : -1;
  const DWORD used = totalBytes.LowPart - freeBytes.LowPart;
  capacityTip_ = CStringLoader::LoadString(IDS_CAPACITY) +
                 FormatSize(DWORD(capacity), capacity < 0 ? 0xFFFFFFFFu : 0) + "\n" +
                 CStringLoader::LoadString(IDS_USED) +
                 FormatSize(used, Readable(freeBytes) && Readable(totalBytes) ? 0 : 0xFFFFFFFFu) +
                 "\n" + CStringLoader::LoadString(IDS_FREE_LABEL) +
                 FormatSize(freeBytes.LowPart, freeBytes.HighPart);
  SetToolTip(IDC_CAPACITY_BUTTON, capacityTip_);
}

void CPlundaViewDlg::SetPrivacyAppRunning(bool running) {
  if (hwnd_ == nullptr || !IsWindowVisible(hwnd_) || running == privacyAppRunning_) return;
  if (running) {
    StopMonitor();
  } else if (IsValid()) {
    StartMonitor();
    UpdateSpace();
    Refresh();
  }
  privacyAppRunning_ = running;
}

// ---------------------------------------------------------------- messages

bool CPlundaViewDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_DIRECTORY_CHANGED:
      OnChangeNotice();
      result = 0;
      return true;
    case WM_DIRECTORY_MONITOR_ENDED:
      result = 0;
      return true;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      result = 0;
      return true;
    case WM_SHOWWINDOW:
      if (wParam != FALSE) {
        if (IsValid()) StartMonitor();
      } else {
        StopMonitor();
      }
      return false;
    case WM_LBUTTONDOWN:
      // The borderless window moves by any spot of its face.
      PostMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
      result = 0;
      return true;
    case WM_LBUTTONDBLCLK:
      if (proxy_ != nullptr) OpenRoot();
      result = 0;
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        result = 0;
        return true;
      }
      return false;
    case WM_DRAWITEM:
      if (DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
        result = TRUE;
        return true;
      }
      break;
    case WM_DESTROY:
      StopMonitor();
      DragAcceptFiles(hwnd_, FALSE);
      if (toolTip_ != nullptr) ::DestroyWindow(toolTip_);
      toolTip_ = nullptr;
      break;
    default:
      break;
  }
  return CGUIDialog::OnMessage(message, wParam, lParam, result);
}

bool CPlundaViewDlg::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType == ODT_MENU) return false;
  HICON icon = nullptr;
  int size = 16;
  switch (item.CtlID) {
    case IDC_OPEN_BUTTON:
      icon = driveIcon_;
      size = 32;
      break;
    case IDC_CAPACITY_BUTTON:
      icon = capacityIcon_;
      break;
    case IDC_PRIVACY_INDICATION:
      icon = privacyIcons_[GetWindowLongPtrA(item.hwndItem, GWLP_USERDATA) != 0 ? 1 : 0];
      break;
    case IDC_WPROTECT_INDICATION:
      icon = protectIcons_[GetWindowLongPtrA(item.hwndItem, GWLP_USERDATA) != 0 ? 1 : 0];
      break;
    case IDC_LOGO_STATIC:
      // The product name is part of the skin.
      break;
    default:
      return false;
  }
  // The skin behind the picture, then the picture in the middle.
  RECT inParent{};
  GetWindowRect(item.hwndItem, &inParent);
  MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&inParent), 2);
  POINT origin{};
  SetViewportOrgEx(item.hDC, -inParent.left, -inParent.top, &origin);
  PaintSkin(item.hDC);
  SetViewportOrgEx(item.hDC, origin.x, origin.y, nullptr);
  const RECT& r = item.rcItem;
  if (icon != nullptr) {
    const int pressed = (item.itemState & ODS_SELECTED) != 0 ? 1 : 0;
    DrawIconEx(item.hDC, r.left + (r.right - r.left - size) / 2 + pressed,
               r.top + (r.bottom - r.top - size) / 2 + pressed, icon, size, size, 0, nullptr,
               DI_NORMAL);
  }
  return true;
}

void CPlundaViewDlg::OnChangeNotice() {
  const DWORD now = GetTickCount();
  if (changeStamp_ == 0 || now - changeStamp_ < kChangeDelayMs) {
    changeStamp_ = now;
    KillTimer(kChangeTimer);
    SetTimer(kChangeTimer, kChangeDelayMs);
  }
}

void CPlundaViewDlg::OnTimer(UINT_PTR id) {
  if (id != kChangeTimer) return;
  KillTimer(kChangeTimer);
  changeStamp_ = 0;
  UpdateSpace();
}

bool CPlundaViewDlg::OnCommand(UINT id, UINT code, HWND control) {
  if (code != BN_CLICKED && code != 0) return CGUIDialog::OnCommand(id, code, control);
  switch (id) {
    case IDC_OPEN_BUTTON:
      OnOpen();
      return true;
    case IDC_SELECT_BUTTON:
      OnSelect();
      return true;
    case IDC_TOOLS_BUTTON:
      OnTools();
      return true;
    case IDC_WIN_HIDE_BUTTON:
      OnHide();
      return true;
    case IDC_SAFE_EJECT_BUTTON:
      OnEject();
      return true;
    default:
      break;
  }
  if ((id >= kSettingsCommand && id <= kPersonalFoldersCommand) ||
      (id >= CPDKProxy::kFirstToolCommand && id <= kLastToolCommand)) {
    OnToolsCommand(id);
    return true;
  }
  return CGUIDialog::OnCommand(id, code, control);
}

// ---------------------------------------------------------------- buttons

void CPlundaViewDlg::OpenRoot() { CWinExplorer::Open(root_, ""); }

void CPlundaViewDlg::OnOpen() {
  if (root_.empty()) return;
  ULARGE_INTEGER freeBytes{}, totalBytes{};
  CWinExplorer::GetDiskSpace(root_, freeBytes, totalBytes);
  if (Readable(freeBytes)) {
    OpenRoot();
    return;
  }
  const UINT drive = UINT(std::toupper(static_cast<unsigned char>(root_[0])) - 'A');
  const DWORD answer = SHFormatDrive(hwnd_, drive, SHFMT_ID_DEFAULT, kFormatDefaultOptions);
  if (std::find(std::begin(kFormatFailures), std::end(kFormatFailures), answer) !=
      std::end(kFormatFailures))
    return;
  UpdateSpace();
  StartMonitor();
}

POINT CPlundaViewDlg::MenuPlace(UINT button, int menuHeight) const {
  POINT at{};
  HWND control = GetDlgItem(int(button));
  RECT r{};
  if (control == nullptr || !GetWindowRect(control, &r)) {
    GetCursorPos(&at);
    return at;
  }
  at = POINT{r.left, r.bottom};
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  const int screenHeight = GetDeviceCaps(display, VERTRES);
  DeleteDC(display);
  // A menu that would leave the screen opens above the button.
  if (at.y + menuHeight > screenHeight) at.y = std::max<LONG>(0, r.top - menuHeight);
  return at;
}

void CPlundaViewDlg::OnSelect() {
  if (!IsValid() || letterCount_ <= 1) return;
  std::vector<std::string> roots;
  for (size_t start = 0; start < letters_.size();) {
    size_t comma = letters_.find(',', start);
    if (comma == std::string::npos) comma = letters_.size();
    roots.push_back(letters_.substr(start, comma - start));
    start = comma + 1;
  }
  BCMenu menu;
  if (!menu.LoadMenu(IDR_DRIVE_MENU)) return;
  BCMenu* popup = menu.GetSubMenu(0);
  if (popup == nullptr) return;
  popup->DeleteMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND);
  const int count = std::min<int>(int(roots.size()), kMaxLetterItems);
  for (int i = 0; i < count; ++i) {
    if (i > 0) popup->AppendMenu(MF_SEPARATOR);
    popup->AppendODMenu(roots[size_t(i)], MF_STRING, kFirstLetterCommand + UINT(i), nullptr, -1);
  }
  BCMenu::SetMenuDrawMode(BCMenu::kFlat);
  popup->SetColors(kMenuFirst, kMenuBackground, 0);
  const POINT at = MenuPlace(IDC_SELECT_BUTTON, 0);
  const UINT chosen = popup->TrackPopupMenu(TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, hwnd_);
  menu.DestroyMenu();
  if (chosen < kFirstLetterCommand || chosen >= kFirstLetterCommand + UINT(count)) return;
  const std::string root = roots[chosen - kFirstLetterCommand];
  if (!CWinExplorer::PathExists(root)) return;
  StopMonitor();
  root_ = root;
  StartMonitor();
  UpdateSpace();
}

void CPlundaViewDlg::OnHide() {
  ShowWindow(hwnd_, SW_HIDE);
  if (CAppSettings().ReadSetting("NoCloseNextTime") != 0) return;
  CGUIMessageBoxCheckDlg box(hwnd_);
  box.Setup(CStringLoader::LoadString(IDS_STILL_RUNNING_NOTE),
            CStringLoader::LoadString(IDS_CAPTION_PROGRAM), CStringLoader::LoadString(IDS_OK), "",
            CGUIMessageBoxDlg::kFirstButton, IDG_MESSAGE_SKIN, IDG_DO_NOT_SHOW_PICTURE);
  box.DoModal();
}

void CPlundaViewDlg::OnEject() {
  StopMonitor();
  if (proxy_ == nullptr) return;
  EnableWindow(hwnd_, FALSE);
  for (char letter : proxy_->Letters()) CWinExplorer::CloseExplorerWindows(letter);
  const std::string caption = CStringLoader::LoadString(IDS_CAPTION_PROGRAM);
  const int kind = GetWindowsKind();
  if (kind == kWinME || kind == kWin98SE) {
    bool started = false;
    if (kind == kWinME) {
      char windows[MAX_PATH] = "";
      GetWindowsDirectoryA(windows, sizeof windows);
      std::string command = std::string("\"") + windows +
                            "\\RUNDLL32.EXE\" shell32.dll,Control_RunDLL hotplug.dll";
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process{};
      started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process) != FALSE;
      if (started) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
      }
    }
    if (!started) {
      MessageBoxA(hwnd_, CStringLoader::LoadString(IDS_SAFE_TO_REMOVE).c_str(), caption.c_str(),
                  MB_ICONINFORMATION);
    }
  } else if (!proxy_->Eject()) {
    MessageBoxA(hwnd_, CStringLoader::LoadString(IDS_DRIVE_BUSY).c_str(),
                (caption + CStringLoader::LoadString(IDS_SUFFIX_ERROR)).c_str(), MB_ICONWARNING);
    if (IsValid()) StartMonitor();
  }
  EnableWindow(hwnd_, TRUE);
}

void CPlundaViewDlg::OnDropFiles(HDROP drop) {
  std::string files;
  std::string first;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[MAX_PATH] = "";
    if (DragQueryFileA(drop, i, path, sizeof path) == 0) continue;
    if (first.empty()) first = path;
    if (!files.empty()) files.push_back('\0');
    files += path;
  }
  DragFinish(drop);
  if (first.empty() || proxy_ == nullptr || SameText(FolderOfPath(first), root_)) return;
  CWinExplorer::FileOperation(FO_COPY, files, root_, FOF_ALLOWUNDO);
}

// ---------------------------------------------------------------- tools menu

void CPlundaViewDlg::OnTools() {
  BCMenu menu;
  if (!menu.LoadMenu(IDR_DRIVE_MENU)) return;
  BCMenu* popup = menu.GetSubMenu(0);
  if (popup == nullptr) return;
  popup->DeleteMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND);
  if (menuImages_ != nullptr) ImageList_Destroy(menuImages_);
  menuImages_ = ImageList_Create(kMenuIconSize, kMenuIconSize, ILC_COLOR24 | ILC_MASK, 4, 4);
  for (UINT id : {IDI_MENU_PRIVACY, IDI_MENU_WRITE_PROTECTION}) {
    HICON icon = LoadIconResource(id, kMenuIconSize);
    ImageList_AddIcon(menuImages_, icon);
    DestroyIcon(icon);
  }
  if (IsValid()) {
    AddDriveItems(*popup);
  } else {
    // A view whose drive went away has nothing to offer.
    popup->AppendODMenu(CStringLoader::LoadString(IDS_MENU_EMPTY), MF_STRING | MF_GRAYED, 0,
                        nullptr, -1);
  }
  BCMenu::SetMenuDrawMode(BCMenu::kFlat);
  popup->SetColors(kMenuFirst, kMenuBackground, 0);
  popup->SetIconSize(kMenuIconSize, kMenuIconSize);
  const int itemCount = GetMenuItemCount(popup->GetSafeHmenu());
  const POINT at = MenuPlace(IDC_TOOLS_BUTTON, itemCount * (kMenuIconSize + 4));
  popup->TrackPopupMenu(TPM_RIGHTBUTTON, at.x, at.y, hwnd_);
  menu.DestroyMenu();
}

void CPlundaViewDlg::AddDriveItems(BCMenu& popup) {
  auto add = [&](UINT text, UINT command, int image) {
    popup.AppendODMenu(CStringLoader::LoadString(text), MF_STRING, command,
                       image >= 0 ? menuImages_ : nullptr, image);
  };
  add(IDS_MENU_SETTINGS, kSettingsCommand, -1);
  popup.AppendMenu(MF_SEPARATOR);
  if (proxy_->IsPrivacySupported() && proxy_->HasPrivacyZone()) {
    if (proxy_->IsLoggedIn()) {
      add(IDS_MENU_LOGOUT, kLogoutCommand, 0);
    } else {
      add(IDS_MENU_LOGIN, kLoginCommand, 0);
    }
  }
  if (proxy_->IsWriteProtectSupported()) {
    if (proxy_->IsWriteProtected()) {
      add(IDS_MENU_UNPROTECT, kUnprotectCommand, 1);
    } else {
      add(IDS_MENU_PROTECT, kProtectCommand, 1);
    }
  }
  add(IDS_MENU_SYNC_FOLDER, kSyncFolderCommand, -1);
  add(IDS_MENU_SYNC_FAVORITES, kSyncFavoritesCommand, -1);
  add(IDS_MENU_SYNC_DOCUMENTS, kSyncDocumentsCommand, -1);
  if (!proxy_->HasPersonalFolders()) add(IDS_MENU_PERSONAL_FOLDERS, kPersonalFoldersCommand, -1);
  CToolsList* tools = proxy_->GetToolsList();
  if (tools == nullptr || tools->Count() == 0) return;
  popup.AppendMenu(MF_SEPARATOR);
  HICON folder = LoadIconResource(IDI_TOOL_FOLDER, kMenuIconSize);
  const int folderImage = ImageList_AddIcon(menuImages_, folder);
  DestroyIcon(folder);
  for (const ToolItem& item : tools->Items()) {
    int image = folderImage;
    if (item.kind == ToolItem::kFile)
      image = item.icon != nullptr ? ImageList_AddIcon(menuImages_, item.icon) : -1;
    popup.AppendODMenu(item.displayName, MF_STRING, item.commandId,
                       image >= 0 ? menuImages_ : nullptr, image);
  }
}

void CPlundaViewDlg::OnToolsCommand(UINT id) {
  if (!IsValid()) {
    TraceError(__FILE__, __LINE__, "not valid view");
    return;
  }
  switch (id) {
    case kSettingsCommand:
      RunSettings();
      return;
    case kLoginCommand:
    case kLogoutCommand:
      RunPrivacySwitch(id == kLoginCommand);
      return;
    case kProtectCommand:
    case kUnprotectCommand:
      RunWriteProtection(id == kProtectCommand);
      return;
    case kSyncFolderCommand:
      RunSync(tovik::CSyncEntry::kFolder);
      return;
    case kSyncFavoritesCommand:
      RunSync(tovik::CSyncEntry::kFavorites);
      return;
    case kSyncDocumentsCommand:
      RunSync(tovik::CSyncEntry::kDocuments);
      return;
    case kPersonalFoldersCommand:
      RunPersonalFolders();
      return;
    default:
      proxy_->RunTool(id);
      return;
  }
}

INT_PTR CPlundaViewDlg::RunChild(CDialog& dialog) {
  child_ = &dialog;
  const INT_PTR result = dialog.DoModal();
  child_ = nullptr;
  return result;
}

void CPlundaViewDlg::RunWriteProtection(bool protect) {
  StopMonitor();
  EnableWindow(GetDlgItem(IDC_TOOLS_BUTTON), FALSE);
  EnableWindow(hwnd_, FALSE);
  CWriteProtectionDlg dialog(hwnd_);
  dialog.SetDevice(proxy_->Device(),
                   protect ? CWriteProtectionDlg::kProtect : CWriteProtectionDlg::kUnprotect);
  child_ = &dialog;
  const INT_PTR result = dialog.Run();
  child_ = nullptr;
  if (result == IDOK && IsValid()) Refresh();
  EnableWindow(GetDlgItem(IDC_TOOLS_BUTTON), TRUE);
  EnableWindow(hwnd_, TRUE);
  if (IsValid()) StartMonitor();
}

void CPlundaViewDlg::RunPrivacySwitch(bool login) {
  // The volume is dismounted for the switch: nothing of ours may hold it.
  StopMonitor();
  INT_PTR result = IDCANCEL;
  if (login) {
    CDepositLoginDlg dialog(hwnd_);
    dialog.SetDevice(proxy_->Device());
    result = RunChild(dialog);
  } else {
    EnableWindow(hwnd_, FALSE);
    CDepositLogoutDlg dialog(hwnd_);
    dialog.SetDevice(proxy_->Device());
    child_ = &dialog;
    result = dialog.Run();
    child_ = nullptr;
    EnableWindow(hwnd_, TRUE);
  }
  if (!IsValid()) return;
  if (result == IDOK && proxy_->IsLoggedIn() == login) Refresh();
  StartMonitor();
  UpdateSpace();
}

void CPlundaViewDlg::RunSync(int kind) {
  const DeviceParams device = proxy_->DeviceInfo();
  tovik::SyncDrive drive;
  drive.identifier.assign(device.serial, strnlen(device.serial, sizeof device.serial));
  drive.volumeLetters = tovik::CSyncEntry::LettersOfRoots(proxy_->LettersText());
  drive.databaseFolder = tovik::CSyncEntry::DatabaseFolder();
  tovik::CSyncEntry::Run(hwnd_, tovik::CSyncEntry::Kind(kind), drive);
}

void CPlundaViewDlg::RunSettings() {
  CPlundaPreferencesDlg dialog(hwnd_);
  dialog.SetProxy(proxy_);
  if (RunChild(dialog) == IDOK && IsValid()) RefreshLabel();
}

void CPlundaViewDlg::RunPersonalFolders() {
  CPersonalFolders::CreatePersonalFolders(hwnd_, *proxy_);
}
