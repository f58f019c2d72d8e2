// Where Windows 2000 and XP keep a Tovik Drive's USB instance: under
// HKEY_LOCAL_MACHINE "SYSTEM\CurrentControlSet\Enum\USB", one key per
// "Vid_0f3b&Pid_xxxx" with one subkey per instance. A key that cannot be read
// counts as absent.
#pragma once

#include <string>

class CNTRegistry {
 public:
  // Whether some Tovik USB device has an instance whose name contains text.
  bool isInstanceRegistered(const std::string& text) const;
  // The Tovik USB instance whose "Driver" value is driverKey.
  bool findInstanceByDriver(const std::string& driverKey, std::string* instance) const;
};
