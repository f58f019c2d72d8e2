// A program that breaks every rule of the import check once: a function of
// Vista (newer than every target), a function that no list names, and (by its
// link options) PE versions 6.0. The check must reject it on each count.
#include <windows.h>

// Declared here: the build's headers are set to XP and hide it.
extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64();

int main() {
  // Used so the linker keeps both imports.
  return static_cast<int>(GetTickCount64() & 1) + (Beep(440, 0) ? 1 : 0);
}
