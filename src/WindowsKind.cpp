#include "WindowsKind.h"

#include <windows.h>

int ClassifyWindowsVersion(unsigned long platformId, unsigned long major, unsigned long minor,
                           const char* servicePack) {
  switch (platformId) {
    case VER_PLATFORM_WIN32s:
      return kWin32s;
    case VER_PLATFORM_WIN32_WINDOWS:
      if (major == 4 && minor == 0) return kWin95;
      if (major == 4 && minor == 10) {
        const bool secondEdition =
            servicePack != nullptr && servicePack[0] != '\0' && servicePack[1] == 'A';
        return secondEdition ? kWin98SE : kWin98;
      }
      if (major == 4 && minor == 90) return kWinME;
      return kWinOther;
    case VER_PLATFORM_WIN32_NT:
      if (major <= 4) return kWinNT;
      if (major == 5 && minor == 0) return kWin2000;
      if (major == 5 && minor == 1) return kWinXP;
      return kWinOther;
    default:
      return kWinOther;
  }
}

int GetWindowsKind() {
  // The extended structure first; systems before NT 4 SP6 only know the short one.
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148,
                "the two sizes the system knows");
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return kWinOther;
  }
  return ClassifyWindowsVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                                info.szCSDVersion);
}
