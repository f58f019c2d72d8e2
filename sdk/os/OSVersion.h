// What the operating system says of its own version.
#pragma once

#include <cstdint>

namespace pdkos {

struct OSVersion {
  uint32_t platformId = 0;  // 0 Win32s, 1 the 9x family, 2 the NT family
  uint32_t major = 0;
  uint32_t minor = 0;
  char servicePack[128] = {};
};

// Asks GetVersionExA with the given structure size (156 extended, 148 basic).
// False when the system refuses, and always on systems without that call.
bool getVersionEx(uint32_t structSize, OSVersion* version);

}  // namespace pdkos
