// The fixed-disk privacy zone on Windows 98 SE and ME: nothing to wait for
// after a switch, since the drive is re-attached anyway.
#pragma once

#include "FixDiskDepositHdl.h"

class C98FixDiskDepositHdl : public CFixDiskDepositHdl {
 public:
  using CFixDiskDepositHdl::CFixDiskDepositHdl;

  bool lockForSwitch(CDeviceHandle& dev) override;
  bool _deviceIsReady(CDeviceHandle& dev) override;
  int resetDevice(CDeviceHandle& dev) override;
};
