#include "OSPlatform.h"

#include <windows.h>

namespace pdkos::platform {

uint32_t tickCount() { return GetTickCount(); }

void sleep(uint32_t ms) { Sleep(ms); }

void debugOutput(const char* text) { OutputDebugStringA(text); }

}  // namespace pdkos::platform
