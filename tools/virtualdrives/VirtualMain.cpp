// TovikVirtual.exe: the control panel with two virtual drives and the window
// that plugs them in, for trying and testing it without hardware. Not shipped.
#include <windows.h>

#include "VirtualApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CVirtualApp::PrepareEnvironment();
  CVirtualApp app;
  return app.Run(instance, GetCommandLineA());
}
