#include "NTRegistry.h"

#include <cctype>
#include <cstring>

#include "RegistryKey.h"

using pdkos::CRegistryKey;
using pdkos::RegistryRoot;

namespace {

const char kUsbEnum[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";
const char kTovikVendor[] = "Vid_0f3b";
const char kTovikProductPrefix[] = "Vid_0f3b&Pid_";
constexpr size_t kProductIdDigits = 4;

// Key names are compared as Windows compares them: without regard to case.
bool beginsNoCase(const std::string& name, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (name.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool CNTRegistry::isInstanceRegistered(const std::string& text) const {
  CRegistryKey usb(RegistryRoot::kLocalMachine, kUsbEnum);
  std::string deviceName;
  for (unsigned i = 0; usb.subkeyName(i, &deviceName); ++i) {
    if (!beginsNoCase(deviceName, kTovikVendor)) continue;
    CRegistryKey device(usb, deviceName);
    std::string instance;
    for (unsigned k = 0; device.subkeyName(k, &instance); ++k) {
      if (instance.find(text) != std::string::npos) return true;
    }
  }
  return false;
}

bool CNTRegistry::findInstanceByDriver(const std::string& driverKey, std::string* instance) const {
  CRegistryKey usb(RegistryRoot::kLocalMachine, kUsbEnum);
  std::string deviceName;
  for (unsigned i = 0; usb.subkeyName(i, &deviceName); ++i) {
    // Exactly a product id after the prefix: "Vid_0f3b&Pid_0010", never a longer name.
    if (deviceName.size() != std::strlen(kTovikProductPrefix) + kProductIdDigits) continue;
    if (!beginsNoCase(deviceName, kTovikProductPrefix)) continue;
    CRegistryKey device(usb, deviceName);
    std::string name;
    for (unsigned k = 0; device.subkeyName(k, &name); ++k) {
      CRegistryKey candidate(device, name);
      std::string driver;
      if (candidate.stringValue("Driver", &driver) && driver == driverKey) {
        *instance = name;
        return true;
      }
    }
  }
  return false;
}
