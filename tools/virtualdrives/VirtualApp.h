// The control panel with virtual drives: the same application as Tovik.exe,
// with two emulated drives behind the SDK's device port and the plug window
// beside the main window. The drives outlive the main window and the SDK's
// shutdown, and keep their state in their folder between runs.
#pragma once

#include <memory>

#include "Kestova.h"

class CVirtualDrives;

class CVirtualApp : public CKestovaApp {
 public:
  CVirtualApp();
  ~CVirtualApp() override;

  // Before the application starts: the drives' folder and the emulated ASPI
  // library, handed on to the copy the program installs and starts. Given in
  // the environment, they are used; started from the build, they are the
  // ones beside the program, and remembered; otherwise the remembered ones.
  static void PrepareEnvironment();

 protected:
  void RunMainWindow() override;

 private:
  std::unique_ptr<CVirtualDrives> drives_;
};
