// The registry chain Windows 2000 (mode 0) or XP (mode 1) leaves behind for a
// USB storage device it has seen: USB instance, USBSTOR disk and instance,
// removable-media child, the interface entries of each class, the driver keys
// and the MountedDevices values of its letter and volume.
#pragma once

#include <string>
#include <vector>

#include "TestRegistry.h"

struct DriveChain {
  std::string usbDevice;  // "Vid_0f3b&Pid_0010"
  std::string serial;
  std::string diskName;  // "Disk&Ven_Vantrel&Prod_Plunda&Rev_2.70"
  std::string usbHardwareId;
  std::string usbstorHardwareId;
  std::string friendlyName;
  std::string locationInformation;
  int number = 0;  // makes the instance prefixes and driver keys of each drive its own
  char letter = 'E';

  // Derived by write().
  std::string usbstorInstance;
  std::string mediaId;  // "<prefix>&RM"
  std::string usbDriver, diskDriver, mediaDriver;
  // Every key that is this drive's alone, and the MountedDevices values naming it.
  std::vector<std::string> keys;
  std::vector<std::string> mountedValues;

  void write(TestRegistry& registry, int mode);
};

// A drive of the maker under product id pid ("Pid_0010" or "Pid_0011").
DriveChain makerDrive(const std::string& serial, const std::string& pid, int number);
// A drive of another maker, in the same registry trees.
DriveChain otherVendorDrive(int number);

// The paths the chain lives under.
extern const std::string kEnum;
extern const std::string kClass;
extern const std::string kDeviceClasses;
extern const std::string kMounted;
