#include "PlatformDevicePort.h"

#include <windows.h>

namespace pdkos {

namespace {

class CWin32DevicePort : public pdk::IDevicePort {
 public:
  pdk::PDKHandle open(const char* path, uint32_t* error) override {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) *error = GetLastError();
    return h;
  }

  void close(pdk::PDKHandle handle) override { CloseHandle(handle); }

  bool control(pdk::PDKHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
               uint32_t outLength, uint32_t* returned) override {
    DWORD bytes = 0;
    const BOOL ok = DeviceIoControl(handle, code, in, inLength, out, outLength, &bytes, nullptr);
    *returned = bytes;
    return ok != FALSE;
  }
};

}  // namespace

pdk::IDevicePort& platformDevicePort() {
  static CWin32DevicePort port;
  return port;
}

}  // namespace pdkos
