// Tovik.exe: the control panel as it ships.
#include <windows.h>

#include "Kestova.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CKestovaApp app;
  return app.Run(instance, GetCommandLineA());
}
