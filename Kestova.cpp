#include "Kestova.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <exception>

#include "AppSettings.h"
#include "AppShortcuts.h"
#include "GUI/Trace.h"
#include "InstallWizardDlg.h"
#include "KestovaDlg.h"
#include "PDKManager.h"
#include "StringLoader.h"
#include "VersionInfo.h"
#include "WinExplorer.h"
#include "WindowsKind.h"
#include "sdk/PDKSDK.h"
#include "strings.h"

namespace {

bool IsNTFamily() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) != FALSE && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

constexpr WORD kQuietDelete = FOF_NOCONFIRMATION | FOF_NOERRORUI;

void Remove(const std::string& path) {
  if (!path.empty()) CWinExplorer::FileOperation(FO_DELETE, path, "", kQuietDelete);
}

std::string ModulePath() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

}  // namespace

CKestovaApp::CKestovaApp() { comStarted_ = SUCCEEDED(CoInitialize(nullptr)); }

CKestovaApp::~CKestovaApp() {
  if (comStarted_) CoUninitialize();
}

void CKestovaApp::ShowError(UINT textId, UINT suffixId) {
  const std::string caption =
      CStringLoader::LoadString(IDS_PROGRAM_NAME) + CStringLoader::LoadString(suffixId);
  MessageBoxA(nullptr, CStringLoader::LoadString(textId).c_str(), caption.c_str(), MB_ICONERROR);
}

bool CKestovaApp::IsSupportedKind(int kind) {
  return kind == kWin98SE || kind == kWinME || kind == kWin2000 || kind == kWinXP;
}

bool CKestovaApp::HasAdminRights() {
  if (!IsNTFamily()) return true;
  HANDLE volume =
      CreateFileA("\\\\.\\C:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (volume == INVALID_HANDLE_VALUE) return false;
  CloseHandle(volume);
  return true;
}

int CKestovaApp::ScreenResolution() {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  if (display == nullptr) return 0;
  const int x = GetDeviceCaps(display, LOGPIXELSX);
  const int y = GetDeviceCaps(display, LOGPIXELSY);
  DeleteDC(display);
  if (x == 96 && y == 96) return 96;
  if (x == 120 && y == 120) return 120;
  return 0;
}

bool CKestovaApp::InitInstance() {
  try {
    Start();
  } catch (const std::exception&) {
    TraceError(__FILE__, __LINE__, "General Error");
    ShowError(IDS_GENERAL_ERROR, IDS_SUFFIX_ERROR);
    Shutdown();
  } catch (...) {
    TraceError(__FILE__, __LINE__, "General Error");
    ShowError(IDS_GENERAL_ERROR, IDS_SUFFIX_ERROR);
    Shutdown();
  }
  // The main window's loop has run (or never will): no message pump follows.
  return false;
}

bool CKestovaApp::Start() {
  // Where the program really is: argv[0] may be a bare name when it was
  // started from a command line.
  programPath_ = ModulePath();
  argument_ = __argc > 1 ? __argv[1] : "";

  if (argument_ == kUninstallSwitch) {
    // A program cannot delete its own file: started from the install folder
    // (the uninstall shortcut's way), the uninstaller hands over to a copy of
    // itself in the temporary folder.
    if (HandOverUninstall()) return false;
    if (MessageBoxA(nullptr, CStringLoader::LoadString(IDS_UNINSTALL_CONFIRM).c_str(),
                    CStringLoader::LoadString(IDS_CAPTION_PROGRAM).c_str(),
                    MB_ICONWARNING | MB_OKCANCEL) == IDOK) {
      Uninstall();
    }
    return false;
  }

  if (SingleInstance() == 0) {
    TraceError(__FILE__, __LINE__, "Init fail");
    Shutdown();
    return false;
  }

  const int copied = CAppSettings::CopyApplication(programPath_);
  CStringLoader::InitLanguages();
  if (copied == 2) {
    // The copy starts as a process of its own once this one has let go.
    Shutdown();
    CWinExplorer::Open(CAppSettings::RunningProgramPath(), "");
    return false;
  }
  if (copied == -1) {
    ShowError(IDS_GENERAL_ERROR, IDS_SUFFIX_ERROR);
    Shutdown();
    return false;
  }

  if (!CheckEnvironment()) {
    Shutdown();
    return false;
  }

  if (!CAppSettings::SettingsFileExists()) {
    CInstallWizardDlg wizard(nullptr, CAppSettings::RunningProgramPath());
    if (wizard.DoModal() != IDOK) {
      Shutdown();
      return false;
    }
  }

  RunMainWindow();
  Shutdown();
  return false;
}

int CKestovaApp::SingleInstance() {
  try {
    PDKSDK_init();
    sdkStarted_ = true;
    mutex_ = CreateMutexA(nullptr, FALSE, kInstanceMutex);
    const DWORD wait =
        mutex_ != nullptr ? WaitForSingleObject(mutex_, kInstanceWaitMs) : WAIT_FAILED;
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
      if (mutex_ != nullptr) CloseHandle(mutex_);
      mutex_ = nullptr;
      TalkToRunningInstance();
      return 0;
    }
    CPDKManager::Acquire();
    return 1;
  } catch (const std::exception& e) {
    TraceException(__FILE__, __LINE__, e.what());
  } catch (...) {
    TraceException(__FILE__, __LINE__, nullptr);
  }
  return 1;
}

void CKestovaApp::TalkToRunningInstance() {
  if (HWND running = FindWindowA(nullptr, CKestovaDlg::kCaption)) {
    uint32_t high = 0, low = 0;
    if (CVersionInfo::PackedProductVersion(programPath_, high, low) &&
        SendMessageA(running, WM_VERSION_CHECK, high, low) == 1) {
      SendMessageA(running, WM_NEWER_LAUNCHED, 0, 0);
    }
  }
  // Found again: the running instance may have ended while the user read the box.
  if (HWND running = FindWindowA(nullptr, CKestovaDlg::kCaption)) {
    SendMessageA(running, WM_SHOW_RUNNING, 0, 0);
    BringWindowToTop(running);
  }
}

int CKestovaApp::Uninstall() {
  HANDLE runningProcess = nullptr;
  if (HWND running = FindWindowA(nullptr, CKestovaDlg::kCaption)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(running, &pid);
    runningProcess = OpenProcess(SYNCHRONIZE, FALSE, pid);
    SendMessageA(running, WM_UNINSTALL_EXIT, 0, 0);
  }
  const DWORD start = GetTickCount();
  mutex_ = CreateMutexA(nullptr, FALSE, kInstanceMutex);
  DWORD wait = mutex_ != nullptr ? WaitForSingleObject(mutex_, kUninstallWaitMs) : WAIT_FAILED;
  // The instance lets the mutex go before its process ends, and its program
  // file cannot be deleted until then.
  if (runningProcess != nullptr) {
    const DWORD spent = GetTickCount() - start;
    if ((wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) &&
        WaitForSingleObject(runningProcess, spent < kUninstallWaitMs ? kUninstallWaitMs - spent
                                                                     : 0) != WAIT_OBJECT_0) {
      ReleaseMutex(mutex_);
      wait = WAIT_TIMEOUT;
    }
    CloseHandle(runningProcess);
  }
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    if (mutex_ != nullptr) CloseHandle(mutex_);
    mutex_ = nullptr;
    return 0;
  }
  const std::string installFolder = CAppSettings::InstallFolder();
  // The settings file lives in the install folder.
  CAppSettings::SetSettingsPath(installFolder + "\\Tovik.ini");
  CWinExplorer::RemoveStartupEntry();
  CAppShortcuts::Delete(CAppShortcuts::kDesktop);
  Remove(CWinExplorer::GetSpecialFolder(CWinExplorer::kProgramGroup));
  Remove(CAppSettings::SettingsPath());
  Remove(installFolder);
  Shutdown();
  return 1;
}

bool CKestovaApp::HandOverUninstall() const {
  const auto slash = programPath_.rfind('\\');
  if (slash == std::string::npos || lstrcmpiA(programPath_.substr(0, slash).c_str(),
                                              CAppSettings::InstallFolder().c_str()) != 0) {
    return false;
  }
  char temp[MAX_PATH] = "";
  if (GetTempPathA(sizeof temp, temp) == 0) return false;
  const std::string copy = std::string(temp) + programPath_.substr(slash + 1);
  SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  return CopyFileA(programPath_.c_str(), copy.c_str(), FALSE) != FALSE &&
         CWinExplorer::Open(copy, kUninstallSwitch);
}

bool CKestovaApp::CheckEnvironment() {
  if (!IsSupportedKind(GetWindowsKind())) {
    ShowError(IDS_OS_NOT_SUPPORTED, IDS_SUFFIX_ERROR);
    TraceError(__FILE__, __LINE__, "OS not supported");
    return false;
  }
  if (!HasAdminRights()) {
    ShowError(IDS_NO_ADMIN, IDS_SUFFIX_ERROR);
    TraceError(__FILE__, __LINE__, "No admin");
    return false;
  }
  if (ScreenResolution() > 96) {
    const std::string caption =
        CStringLoader::LoadString(IDS_PROGRAM_NAME) + CStringLoader::LoadString(IDS_SUFFIX_WARNING);
    MessageBoxA(nullptr, CStringLoader::LoadString(IDS_SMALL_FONTS).c_str(), caption.c_str(),
                MB_ICONWARNING);
  }
  return true;
}

void CKestovaApp::RunMainWindow() {
  auto window = std::make_unique<CKestovaDlg>();
  if (window->Create()) {
    SetMainWindow(window->GetSafeHwnd());
    window->RunModalLoop();
    if (window->IsWindow()) window->DestroyWindow();
  }
  SetMainWindow(nullptr);
  CStringLoader::ResetLanguages();
  window.reset();
}

void CKestovaApp::Shutdown() {
  if (mutex_ != nullptr) {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
    mutex_ = nullptr;
  }
  while (CPDKManager::Release() > 0) Sleep(kReleaseSleepMs);
  if (sdkStarted_ && IsNTFamily()) PDKSDK_fini();
  sdkStarted_ = false;
}
