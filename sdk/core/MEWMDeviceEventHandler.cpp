#include "MEWMDeviceEventHandler.h"

#include "ConnectionSingleton.h"
#include "MEConnection.h"

void CMEWMDeviceEventHandler::initialScan() {
  scanDevices();
  createWindow();
}

bool CMEWMDeviceEventHandler::processOneDevice(DeviceParams&) {
  scanDevices();
  return true;
}

void CMEWMDeviceEventHandler::scanDevices() {
  // This handler exists only where the transport is ASPI.
  auto* aspi = dynamic_cast<CMEConnection*>(&CConnectionSingleton::instance());
  const int adapters = aspi != nullptr ? aspi->hostAdapterCount() : 0;
  for (int adapter = 1; adapter < adapters; ++adapter) {
    DeviceParams p;
    p.adapterId = adapter;
    p.targetId = 0;
    CWMDeviceEventHandler::processOneDevice(p);
  }
}
