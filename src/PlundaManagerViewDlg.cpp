#include "PlundaManagerViewDlg.h"

#include "AppSettings.h"
#include "PDKProxy.h"
#include "PlundaViewDlg.h"
#include "WinExplorer.h"
#include "resource.h"

CPlundaManagerViewDlg::CPlundaManagerViewDlg(HWND parent)
    : CDialog(IDD_PLUNDA_MANAGER_VIEW_DIALOG, parent) {}

CPlundaManagerViewDlg::~CPlundaManagerViewDlg() {
  // The views first: they are owned by this window.
  if (IsWindow()) DestroyWindow();
}

CPlundaViewDlg* CPlundaManagerViewDlg::View(int id) const {
  return InRange(id) ? views_[id].get() : nullptr;
}

bool CPlundaManagerViewDlg::Visible(const CPlundaViewDlg* view) {
  return view != nullptr && view->IsWindow() && IsWindowVisible(view->GetSafeHwnd()) != FALSE;
}

void CPlundaManagerViewDlg::DeleteSendToShortcuts() {
  // No shortcut of a drive of an earlier run may survive.
  for (char letter = 'A'; letter <= 'Z'; ++letter) CWinExplorer::DeleteSendToShortcut(letter);
}

BOOL CPlundaManagerViewDlg::OnInitDialog() {
  DeleteSendToShortcuts();
  SetTimer(kWatchTimer, kWatchPeriodMs);
  return TRUE;
}

bool CPlundaManagerViewDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT&) {
  if (message == WM_DESTROY) OnDestroy();
  return false;
}

void CPlundaManagerViewDlg::OnDestroy() {
  KillTimer(kWatchTimer);
  for (auto& view : views_) {
    if (view == nullptr) continue;
    view->Detach(false);
    if (view->IsWindow()) view->DestroyWindow();
  }
  DeleteSendToShortcuts();
}

bool CPlundaManagerViewDlg::AddDrive(CPDKProxy* proxy) {
  if (proxy == nullptr || !InRange(proxy->GetId())) return false;
  auto& view = views_[proxy->GetId()];
  if (view == nullptr) view = std::make_unique<CPlundaViewDlg>(hwnd_);
  if (!view->IsWindow()) view->Create();
  if (!proxy->IsValid() || !view->IsWindow()) return false;
  view->Attach(proxy);
  PositionView(*view);
  CAppSettings settings;
  if (settings.ReadSetting("VisualIndication") != 0) ShowWindow(view->GetSafeHwnd(), SW_SHOW);
  if (settings.ReadSetting("AutorunEnabled") != 0) proxy->RunAutorun();
  return true;
}

bool CPlundaManagerViewDlg::RemoveDrive(int id) {
  CPlundaViewDlg* view = View(id);
  if (view == nullptr || !view->IsWindow()) return false;
  ShowWindow(view->GetSafeHwnd(), SW_HIDE);
  view->Detach();
  return true;
}

void CPlundaManagerViewDlg::ChangeDrive(CPDKProxy* proxy) {
  if (proxy == nullptr) return;
  CPlundaViewDlg* view = View(proxy->GetId());
  if (view != nullptr && view->IsWindow()) view->Refresh();
}

void CPlundaManagerViewDlg::ShowAll() {
  for (auto& view : views_) {
    if (view != nullptr && view->IsWindow() && view->IsValid()) {
      ShowWindow(view->GetSafeHwnd(), SW_SHOW);
    }
  }
}

void CPlundaManagerViewDlg::HideAll() {
  for (auto& view : views_) {
    if (Visible(view.get())) ShowWindow(view->GetSafeHwnd(), SW_HIDE);
  }
}

void CPlundaManagerViewDlg::CloseAll() {
  for (auto& view : views_) {
    if (!Visible(view.get())) continue;
    ShowWindow(view->GetSafeHwnd(), SW_HIDE);
    view->Detach(false);
  }
}

void CPlundaManagerViewDlg::LanguageChanged() {
  for (auto& view : views_) {
    if (view != nullptr && view->IsWindow()) view->ReloadTexts();
  }
}

void CPlundaManagerViewDlg::ApplySettings() {
  CAppSettings settings;
  if (settings.ReadSetting("VisualIndication") != 0) {
    ShowAll();
  } else {
    HideAll();
  }
  const HWND layer = settings.ReadSetting("AlwaysOntop") != 0 ? HWND_TOPMOST : HWND_NOTOPMOST;
  for (auto& view : views_) {
    if (view != nullptr && view->IsWindow()) {
      SetWindowPos(view->GetSafeHwnd(), layer, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

bool CPlundaManagerViewDlg::PositionView(CPlundaViewDlg& view) {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  const int screenWidth = display != nullptr ? GetDeviceCaps(display, HORZRES) : 0;
  const int screenHeight = display != nullptr ? GetDeviceCaps(display, VERTRES) : 0;
  if (display != nullptr) DeleteDC(display);
  int visible = 0;
  for (auto& other : views_) visible += Visible(other.get()) ? 1 : 0;
  if (visible == 0) nextTop_ = kFirstTop;

  RECT r{};
  GetWindowRect(view.GetSafeHwnd(), &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  SetWindowPos(view.GetSafeHwnd(), nullptr, screenWidth - rightOffset_ - width, nextTop_, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  nextTop_ += height;
  // The next view would not fit below: a second column, further left.
  if (screenHeight < nextTop_ + height) {
    nextTop_ = kSecondColumnTop;
    rightOffset_ = kSecondColumnOffset;
  }
  return true;
}

void CPlundaManagerViewDlg::OnTimer(UINT_PTR id) {
  if (id == kWatchTimer) WatchPrivacyApplication();
}

void CPlundaManagerViewDlg::WatchPrivacyApplication() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kPrivacyAppMutex);
  if (mutex == nullptr) return;
  const DWORD wait = WaitForSingleObject(mutex, kWatchWaitMs);
  const bool otherRunning = wait != WAIT_OBJECT_0;
  for (auto& view : views_) {
    if (view != nullptr && view->IsWindow() && view->IsValid()) {
      view->SetPrivacyAppRunning(otherRunning);
    }
  }
  // An abandoned mutex is ours as well now; keeping it would block the
  // application whose mutex it is.
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ReleaseMutex(mutex);
  CloseHandle(mutex);
}
