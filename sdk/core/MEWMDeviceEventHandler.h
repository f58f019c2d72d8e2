// Detection on Windows ME: drives are found by asking ASPI for its adapters;
// every announcement makes the handler look at all of them again.
#pragma once

#include "WMDeviceEventHandler.h"

class CMEWMDeviceEventHandler : public CWMDeviceEventHandler {
 public:
  void initialScan() override;
  // p is not looked at: every adapter is scanned again.
  bool processOneDevice(DeviceParams& p) override;

 private:
  void scanDevices();
};
