// The application object: decides once per process whether this process
// becomes the running control panel. It handles "/UNINSTALL", keeps the
// program to one instance (a second start talks to the first and ends),
// installs the program into its folder, checks the system, offers the install
// wizard on the first run, and runs the main window's modal loop, the only
// message loop there is; then it shuts down in a fixed order.
#pragma once

#include <windows.h>

#include <string>

#include "GUI/Application.h"

class CKestovaApp : public CApplication {
 public:
  static constexpr const char* kInstanceMutex = "Pakkeo";
  static constexpr const char* kUninstallSwitch = "/UNINSTALL";
  static constexpr DWORD kInstanceWaitMs = 500;
  static constexpr DWORD kUninstallWaitMs = 10000;
  static constexpr DWORD kReleaseSleepMs = 50;

  CKestovaApp();
  ~CKestovaApp() override;

  // A plain error box: text `textId`, caption the program's name and `suffixId`.
  static void ShowError(UINT textId, UINT suffixId);
  // The Windows kinds the program runs on: 98 SE, ME, 2000 and XP.
  static bool IsSupportedKind(int kind);
  static bool HasAdminRights();
  // 96 or 120 when the display has that many dots per inch both ways, else 0.
  static int ScreenResolution();

  // Releases the mutex, every reference on the drive manager and, on the NT
  // family, the SDK; a second call finds nothing left to release.
  void Shutdown();

 protected:
  bool InitInstance() override;
  // Runs the main window until the user quits. A program that puts something
  // beside the main window (the virtual drives) wraps it.
  virtual void RunMainWindow();

 private:
  bool Start();
  // 1: this process is the running instance; 0: another one is.
  int SingleInstance();
  // Tells the running instance of this start and of this program's version.
  void TalkToRunningInstance();
  // Started from the install folder: a copy in the temporary folder is
  // started to uninstall instead; true when it was.
  bool HandOverUninstall() const;
  // 1 when everything is removed; 0 when the running instance would not end.
  int Uninstall();
  // False when the system or the user's rights rule the program out.
  bool CheckEnvironment();

  std::string programPath_;
  std::string argument_;
  HANDLE mutex_ = nullptr;
  bool sdkStarted_ = false;
  bool comStarted_ = false;
};
