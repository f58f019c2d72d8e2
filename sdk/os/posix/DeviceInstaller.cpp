#include "DeviceInstaller.h"

namespace pdkos {

// Elsewhere there is no device-installation library: nothing can be ejected.
struct CDeviceInstaller::State {};

CDeviceInstaller::CDeviceInstaller() = default;
CDeviceInstaller::~CDeviceInstaller() = default;

bool CDeviceInstaller::available() const { return false; }
bool CDeviceInstaller::beginEnumeration() { return false; }
bool CDeviceInstaller::selectDevice(uint32_t) { return false; }
bool CDeviceInstaller::property(Property, std::string*) const { return false; }
bool CDeviceInstaller::requestEject() const { return false; }
void CDeviceInstaller::endEnumeration() {}

}  // namespace pdkos
