// The application object: one per process. Its start routine prepares COM
// and the common controls, runs InitInstance (which shows the windows and runs
// the main window's modal loop) and ends with ExitInstance's result.
#pragma once

#include <windows.h>

#include <string>

class CApplication {
 public:
  CApplication();
  virtual ~CApplication();
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  // The start routine, called once from WinMain.
  int Run(HINSTANCE instance, const std::string& commandLine);

  static CApplication* Current();
  // The module the templates, bitmaps and pictures are loaded from: the
  // running application's, else the program file's.
  static HINSTANCE ResourceHandle();

  HINSTANCE Instance() const { return instance_; }
  const std::string& CommandLine() const { return commandLine_; }
  // The window the tray and the popups report to; none until the main
  // window says so.
  HWND MainWindow() const { return mainWindow_; }
  void SetMainWindow(HWND window) { mainWindow_ = window; }

 protected:
  // False ends the program at once (ExitInstance still runs).
  virtual bool InitInstance() = 0;
  virtual int ExitInstance() { return 0; }

 private:
  HINSTANCE instance_ = nullptr;
  std::string commandLine_;
  HWND mainWindow_ = nullptr;
};
