#include "DeviceInstaller.h"

namespace pdkos {

// Elsewhere there is no device-installation library: nothing can be ejected.
struct CDeviceInstaller::Library {};
struct CDeviceInstaller::Enumeration::State {};

CDeviceInstaller::CDeviceInstaller() = default;
CDeviceInstaller::~CDeviceInstaller() = default;

bool CDeviceInstaller::available() const { return false; }

CDeviceInstaller::Enumeration::Enumeration(const CDeviceInstaller&) {}
CDeviceInstaller::Enumeration::~Enumeration() = default;
bool CDeviceInstaller::Enumeration::valid() const { return false; }
bool CDeviceInstaller::Enumeration::selectDevice(uint32_t) { return false; }
bool CDeviceInstaller::Enumeration::property(Property, std::string*) const { return false; }
bool CDeviceInstaller::Enumeration::requestEject() const { return false; }

}  // namespace pdkos
