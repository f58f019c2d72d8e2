#include "98FixDiskDepositHdl.h"

#include "PDKErrors.h"

bool C98FixDiskDepositHdl::lockForSwitch(CDeviceHandle&) { return true; }

bool C98FixDiskDepositHdl::_deviceIsReady(CDeviceHandle&) { return false; }

int C98FixDiskDepositHdl::resetDevice(CDeviceHandle&) { return pdk::kOk; }
