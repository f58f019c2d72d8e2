// The removable-media privacy zone on Windows 98 SE and ME, where the system
// learns of the new partition only when the drive is kicked and its root
// is looked at again.
#pragma once

#include "DepositHandler.h"

class C98DepositHandler : public CDepositHandler {
 public:
  static constexpr int kRootTries = 20;
  static constexpr uint32_t kRootPauseMs = 200;
  static constexpr int kCapacityTries = 10;
  static constexpr uint32_t kResetControlCode = 0x220000;

  using CDepositHandler::CDepositHandler;

  // Ready when the root of the drive's first letter can be read and written.
  bool _deviceIsReady(CDeviceHandle& dev) override;
  // Windows 98 SE: the USB driver's reset request; ME: wait for READ CAPACITY.
  int resetDevice(CDeviceHandle& dev) override;
};
