#include "DevicePort.h"

#include <atomic>

#include "PlatformDevicePort.h"

namespace pdk {

namespace {
std::atomic<IDevicePort*> g_installedPort{nullptr};
}

IDevicePort& devicePort() {
  IDevicePort* port = g_installedPort.load();
  return port != nullptr ? *port : pdkos::platformDevicePort();
}

void setDevicePort(IDevicePort* port) { g_installedPort.store(port); }

}  // namespace pdk
