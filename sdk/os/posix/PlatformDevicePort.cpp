#include "PlatformDevicePort.h"

namespace pdkos {

namespace {

class CPosixDevicePort : public pdk::IDevicePort {
 public:
  pdk::PDKHandle open(const char*, uint32_t* error) override {
    *error = pdk::kWinErrorFileNotFound;
    return pdk::invalidHandle();
  }
  void close(pdk::PDKHandle) override {}
  bool control(pdk::PDKHandle, uint32_t, void*, uint32_t, void*, uint32_t,
               uint32_t* returned) override {
    *returned = 0;
    return false;
  }
};

}  // namespace

pdk::IDevicePort& platformDevicePort() {
  static CPosixDevicePort port;
  return port;
}

}  // namespace pdkos
