#include "KestovaDlg.h"

#include "AboutDlg.h"
#include "AppSettings.h"
#include "GUI/Application.h"
#include "GUI/BCMenu.h"
#include "GUI/NotificationPopup.h"
#include "GUI/Trace.h"
#include "PDKManager.h"
#include "PlundaManagerViewDlg.h"
#include "PreferencesDlg.h"
#include "SplashDlg.h"
#include "StringLoader.h"
#include "SyncBox.h"
#include "VersionInfo.h"
#include "WinExplorer.h"
#include "resource.h"
#include "strings.h"

namespace {

constexpr UINT kLongNotice = 10000;
constexpr UINT kShortNotice = 5000;
constexpr UINT kPopupStep = 20;

HICON LoadProgramIcon(UINT id, int size) {
  return static_cast<HICON>(
      LoadImageA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

// The file the shortcuts and the start-up entry name: the installed copy,
// or this program when it never went through the self-copy.
std::string ProgramForShortcuts() {
  const std::string running = CAppSettings::RunningProgramPath();
  return running.empty() ? CVersionInfo::ProgramPath() : running;
}

}  // namespace

CKestovaDlg::CKestovaDlg() : CDialog(IDD_KESTOVA_DIALOG) {}

CKestovaDlg::~CKestovaDlg() {
  for (HICON icon : {icon_, smallIcon_, trayIcon_}) {
    if (icon != nullptr) DestroyIcon(icon);
  }
}

bool CKestovaDlg::IsNewer(uint32_t high, uint32_t low, uint32_t ownHigh, uint32_t ownLow) {
  return high > ownHigh || (high == ownHigh && low > ownLow);
}

BOOL CKestovaDlg::OnInitDialog() {
  icon_ = LoadProgramIcon(IDI_APPLICATION_ICON, GetSystemMetrics(SM_CXICON));
  smallIcon_ = LoadProgramIcon(IDI_APPLICATION_ICON, GetSystemMetrics(SM_CXSMICON));
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  SetWindowText(kCaption);
  BCMenu::SetMenuDrawMode(BCMenu::kFlat);

  if (CAppSettings().ReadSetting("SplashScreen") != 0) CSplashDlg(hwnd_).DoModal();

  manager_ = CPDKManager::Acquire();
  if (manager_ != nullptr && manager_->startListen(hwnd_)) {
    trayIcon_ = LoadProgramIcon(IDI_TRAY_ICON, 16);
    tray_.Create(nullptr, WM_TRAY_NOTIFY, CStringLoader::LoadString(IDS_TRAY_TIP), trayIcon_,
                 IDR_TRAY_MENU);
    tray_.SetMenuDefaultItem(ID_TRAY_SHOW, false);
    managerView_ = std::make_unique<CPlundaManagerViewDlg>(hwnd_);
    managerView_->Create();
    return TRUE;
  }
  MessageBoxA(hwnd_, CStringLoader::LoadString(IDS_GENERAL_ERROR).c_str(),
              CStringLoader::LoadString(IDS_SUFFIX_ERROR).c_str(), MB_ICONERROR);
  if (manager_ != nullptr) CPDKManager::Release();
  manager_ = nullptr;
  TraceError(__FILE__, __LINE__, "Init fail");
  EndDialog(0);
  return TRUE;
}

void CKestovaDlg::ShowPopup(UINT textId, UINT pictureId, UINT timeout) {
  auto popup = CNotificationPopup::Create(CStringLoader::LoadString(textId), IDD_NOTIFY_POPUP,
                                          IDG_NOTIFY_SKIN, IDC_NOTIFY_TEXT, pictureId, timeout,
                                          kPopupStep, hwnd_);
  if (popup == nullptr) return;
  popup->SetLayout(CNotificationPopup::kPictureAtBottom);
  CNotificationPopup::Show(std::move(popup));
}

bool CKestovaDlg::ManagerViewReady(const char* failure) const {
  if (managerView_ != nullptr && managerView_->IsWindow()) return true;
  TraceError(__FILE__, __LINE__, "PDK Manager View fail");
  TraceError(__FILE__, __LINE__, failure);
  return false;
}

bool CKestovaDlg::OnDriveMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const int id = int(lParam);
  switch (message) {
    case WM_PLUNDA_INSERT:
      if (!ManagerViewReady("OnPlundaInsert fail")) {
        result = 0;
        return true;
      }
      ShowPopup(IDS_DRIVE_ARRIVED, IDG_NOTIFY_INSERTED, kLongNotice);
      managerView_->AddDrive(&manager_->GetProxy(id));
      break;
    case WM_PLUNDA_REMOVE:
      if (!ManagerViewReady("OnPlundaRemove fail")) break;
      ShowPopup(IDS_DRIVE_REMOVABLE, IDG_NOTIFY_REMOVED, kLongNotice);
      managerView_->RemoveDrive(id);
      break;
    case WM_PLUNDA_CHANGE:
      if (!ManagerViewReady("OnPlundaChange fail")) break;
      managerView_->ChangeDrive(&manager_->GetProxy(id));
      break;
    case WM_PLUNDA_UNSUPPORTED:
      ShowPopup(IDS_UNSUPPORTED_DEVICE, 0, kShortNotice);
      break;
    case WM_PLUNDA_ERROR: {
      std::string text = CStringLoader::LoadString(IDS_CONNECT_FAILED);
      if (wParam != 0) text += char(wParam);
      TraceError(__FILE__, __LINE__, text);
      tovik::CSyncBox::Ask(hwnd_, text, CStringLoader::LoadString(IDS_SUFFIX_ERROR),
                           IDG_ERROR_PICTURE, false);
      break;
    }
    default:
      return false;
  }
  result = 1;
  return true;
}

bool CKestovaDlg::OnProgramMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_SHOW_RUNNING:
      if (manager_ != nullptr && manager_->DriveCount() > 0) {
        OnShow();
      } else {
        ShowPopup(IDS_ALREADY_RUNNING, 0, kShortNotice);
      }
      result = 0;
      return true;
    case WM_VERSION_CHECK: {
      uint32_t ownHigh = 0, ownLow = 0;
      const bool readable =
          CVersionInfo::PackedProductVersion(CVersionInfo::ProgramPath(), ownHigh, ownLow);
      result = readable && IsNewer(uint32_t(wParam), uint32_t(lParam), ownHigh, ownLow) ? 1 : 0;
      return true;
    }
    case WM_NEWER_LAUNCHED:
      result = tovik::CSyncBox::Ask(hwnd_, CStringLoader::LoadString(IDS_NEWER_LAUNCHED),
                                    CStringLoader::LoadString(IDS_CAPTION_PROGRAM),
                                    IDG_WARNING_PICTURE, false)
                   ? 1
                   : 0;
      return true;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
    case WM_UNINSTALL_EXIT:
      Quit();
      result = kQuitResult;
      return true;
    default:
      return false;
  }
}

bool CKestovaDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (OnDriveMessage(message, wParam, lParam, result)) return true;
  if (OnProgramMessage(message, wParam, lParam, result)) return true;
  switch (message) {
    case WM_MEASUREITEM:
      // The tray menu's items are drawn by the menu, which this window owns.
      if (BCMenu::MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) {
        result = TRUE;
        return true;
      }
      return false;
    case WM_DRAWITEM:
      if (BCMenu::DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
        result = TRUE;
        return true;
      }
      return false;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(icon_);
      return true;
    case WM_DESTROY:
      OnDestroy();
      return false;
    default:
      return false;
  }
}

bool CKestovaDlg::OnCommand(UINT id, UINT code, HWND control) {
  switch (id) {
    case ID_TRAY_ABOUT:
      OnAbout();
      return true;
    case ID_TRAY_PREFERENCES:
      OnPreferences();
      return true;
    case ID_TRAY_HIDE:
      if (managerView_ != nullptr) managerView_->HideAll();
      return true;
    case ID_TRAY_SHOW:
      OnShow();
      return true;
    case ID_TRAY_WEB_SITE:
      CWinExplorer::OpenStringResource(IDS_URL_WEB_SITE);
      return true;
    case ID_TRAY_CHECK_VERSION:
      CWinExplorer::OpenStringResource(IDS_URL_SOFTWARE);
      return true;
    case ID_TRAY_EXIT:
      OnExit();
      return true;
    default:
      return CDialog::OnCommand(id, code, control);
  }
}

void CKestovaDlg::OnShow() {
  if (managerView_ != nullptr && CAppSettings().ReadSetting("VisualIndication") != 0) {
    managerView_->ShowAll();
  }
}

void CKestovaDlg::OnAbout() {
  tray_.EnableMenu(false);
  CAboutDlg(hwnd_, CVersionInfo::ProgramPath(), CPDKManager::SdkVersion()).DoModal();
  tray_.EnableMenu(true);
}

void CKestovaDlg::OnPreferences() {
  const int language = CAppSettings().ReadSetting("SelectedLanguage");
  tray_.EnableMenu(false);
  const INT_PTR answer = CPreferencesDlg(hwnd_, ProgramForShortcuts()).DoModal();
  tray_.EnableMenu(true);
  if (answer != IDOK || managerView_ == nullptr) return;
  if (CAppSettings().ReadSetting("SelectedLanguage") != language) managerView_->LanguageChanged();
  managerView_->ApplySettings();
}

void CKestovaDlg::OnExit() {
  if (!tovik::CSyncBox::Ask(hwnd_, CStringLoader::LoadString(IDS_EXIT_CONFIRM),
                            CStringLoader::LoadString(IDS_CAPTION_PROGRAM), IDG_WARNING_PICTURE,
                            true)) {
    return;
  }
  Quit();
  PostQuitMessage(0);
  Sleep(0);
}

void CKestovaDlg::Quit() {
  if (managerView_ != nullptr) managerView_->CloseAll();
  PostQuitMessage(0);
  Sleep(0);
  EndDialog(kQuitResult);
}

void CKestovaDlg::OnDestroy() {
  if (manager_ != nullptr) {
    manager_->stopListen();
    CPDKManager::Release();
    manager_ = nullptr;
  }
  if (managerView_ != nullptr) managerView_->DestroyWindow();
}
