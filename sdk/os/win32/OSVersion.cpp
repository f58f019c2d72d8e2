#include "OSVersion.h"

#include <windows.h>

#include <cstring>

namespace pdkos {

bool getVersionEx(uint32_t structSize, OSVersion* version) {
  OSVERSIONINFOEXA info;
  std::memset(&info, 0, sizeof(info));
  info.dwOSVersionInfoSize = structSize;
  if (structSize > sizeof(info)) return false;
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
  version->platformId = info.dwPlatformId;
  version->major = info.dwMajorVersion;
  version->minor = info.dwMinorVersion;
  static_assert(sizeof(version->servicePack) == sizeof(info.szCSDVersion), "same text size");
  std::memcpy(version->servicePack, info.szCSDVersion, sizeof(version->servicePack));
  version->servicePack[sizeof(version->servicePack) - 1] = '\0';
  return true;
}

}  // namespace pdkos
