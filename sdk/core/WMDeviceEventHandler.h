// Detection through the hidden window, for Windows 98 SE and the NT family.
#pragma once

#include "DeviceEventHandler.h"

class CWMDeviceEventHandler : public CDeviceEventHandler {
 public:
  // Vendor sub-codes read while authenticating.
  static constexpr uint16_t kConfigBlockSubCode = 0x004A;
  static constexpr uint32_t kConfigBlockLength = 16;
  static constexpr uint16_t kUclProbeSubCode = 0x0072;
  static constexpr uint32_t kUclProbeLength = 4;

  // Every drive letter present, one at a time.
  void initialScan() override;
  bool processOneDevice(DeviceParams& p) override;
  void wait() override;
  void authenticate(DeviceParams& p) override;
};
