#include "DriveChain.h"

#include <cstdio>

const std::string kEnum = "SYSTEM\\CurrentControlSet\\Enum\\";
const std::string kClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
const std::string kDeviceClasses = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";
const std::string kMounted = "SYSTEM\\MountedDevices";

namespace {

const std::string kUsbClass = "{36FC9E60-C465-11CF-8056-444553540000}";
const std::string kDiskClass = "{4D36E967-E325-11CE-BFC1-08002BE10318}";
const std::string kVolumeClass = "{71A27CDD-812A-11D0-BEC7-08002BE2092F}";
const std::string kUsbInterface = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const std::string kDiskInterface = "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
const std::string kMediaInterface = "{53f5630a-b6bf-11d0-94f2-00a0c91efb8b}";
const std::string kVolumeInterface = "{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";

std::string format(const char* pattern, int number) {
  char text[64];
  std::snprintf(text, sizeof(text), pattern, number);
  return text;
}

std::string utf16(const std::string& text) {
  std::string data;
  for (char c : text) {
    data += c;
    data += '\0';
  }
  return data + std::string(2, '\0');
}

}  // namespace

DriveChain makerDrive(const std::string& serial, const std::string& pid, int number) {
  DriveChain drive;
  drive.usbDevice = "Vid_0f3b&" + pid;
  drive.serial = serial;
  drive.diskName = "Disk&Ven_Vantrel&Prod_Plunda&Rev_2.70";
  drive.usbHardwareId = "USB\\Vid_0f3b&" + pid + "&Rev_0200";
  drive.usbstorHardwareId = "USBSTOR\\DiskVantrel_Plunda__________2.70";
  drive.friendlyName = "Vantrel Plunda USB Device";
  drive.locationInformation = "Plunda";
  drive.number = number;
  drive.letter = static_cast<char>('E' + number % 20);
  return drive;
}

DriveChain otherVendorDrive(int number) {
  DriveChain drive;
  drive.usbDevice = "Vid_4f2a&Pid_1001";
  drive.serial = "ORV00012345";
  drive.diskName = "Disk&Ven_Orvell&Prod_Keyring&Rev_1.00";
  drive.usbHardwareId = "USB\\Vid_4f2a&Pid_1001&Rev_0100";
  drive.usbstorHardwareId = "USBSTOR\\DiskOrvell__Keyring_________1.00";
  drive.friendlyName = "Orvell Keyring USB Device";
  drive.locationInformation = "Keyring";
  drive.number = number;
  drive.letter = 'X';
  return drive;
}

void DriveChain::write(TestRegistry& registry, int mode) {
  keys.clear();
  mountedValues.clear();
  usbDriver = kUsbClass + format("\\%04d", 40 + number);
  diskDriver = kDiskClass + format("\\%04d", 40 + number);
  mediaDriver = kVolumeClass + format("\\%04d", 40 + number);
  const std::string usbPrefix = format("7&1a2b%04x&0", number);
  usbstorInstance = mode == 0 ? usbPrefix : serial + "&0";
  mediaId = format("8&3c4d%04x&0", number) + "&RM";

  // The USB device instance.
  const std::string usb = kEnum + "USB\\" + usbDevice + "\\" + serial;
  registry.text(usb, "DeviceDesc", "USB Mass Storage Device");
  registry.list(usb, "HardwareID", {usbHardwareId, "USB\\" + usbDevice});
  registry.list(
      usb, "CompatibleIDs",
      {"USB\\Class_08&SubClass_06&Prot_50", "USB\\Class_08&SubClass_06", "USB\\Class_08"});
  registry.text(usb, "Class", "USB");
  registry.text(usb, "ClassGUID", kUsbClass);
  registry.text(usb, "Driver", usbDriver);
  registry.text(usb, "LocationInformation", locationInformation);
  registry.text(usb, "Mfg", "Compatible USB storage device");
  registry.text(usb, "Service", "USBSTOR");
  if (mode == 0) registry.text(usb, "ParentIdPrefix", usbPrefix);
  registry.text(usb + "\\Device Parameters", "SymbolicName",
                "\\??\\USB#" + usbDevice + "#" + serial + "#" + kUsbInterface);
  keys.push_back(usb);
  keys.push_back(usb + "\\Device Parameters");

  // The USBSTOR disk instance and its removable-media child.
  const std::string disk = kEnum + "USBSTOR\\" + diskName;
  const std::string usbstor = disk + "\\" + usbstorInstance;
  registry.text(usbstor, "DeviceDesc", "Disk drive");
  registry.list(usbstor, "HardwareID",
                {usbstorHardwareId, usbstorHardwareId.substr(0, usbstorHardwareId.size() - 4),
                 "USBSTOR\\GenDisk", "GenDisk"});
  registry.list(usbstor, "CompatibleIDs", {"USBSTOR\\Disk", "USBSTOR\\RAW"});
  registry.text(usbstor, "Class", "DiskDrive");
  registry.text(usbstor, "ClassGUID", kDiskClass);
  registry.text(usbstor, "Driver", diskDriver);
  registry.text(usbstor, "FriendlyName", friendlyName);
  registry.text(usbstor, "Service", "disk");
  registry.text(usbstor, "ParentIdPrefix", mediaId.substr(0, mediaId.size() - 3));
  registry.key(usbstor + "\\Device Parameters");
  keys.push_back(usbstor);
  keys.push_back(usbstor + "\\Device Parameters");

  const std::string media = kEnum + "STORAGE\\RemovableMedia\\" + mediaId;
  registry.text(media, "DeviceDesc", "Generic volume");
  registry.list(media, "HardwareID", {"STORAGE\\Volume"});
  registry.text(media, "Class", "Volume");
  registry.text(media, "ClassGUID", kVolumeClass);
  registry.text(media, "Driver", mediaDriver);
  keys.push_back(media);

  // The driver keys.
  const struct {
    const std::string& key;
    const char* matching;
    const char* description;
  } drivers[] = {{usbDriver, "usb\\class_08&subclass_06&prot_50", "USB Mass Storage Device"},
                 {diskDriver, "gendisk", "Disk drive"},
                 {mediaDriver, "storage\\volume", "Generic volume"}};
  for (const auto& driver : drivers) {
    registry.text(kClass + driver.key, "MatchingDeviceId", driver.matching);
    registry.text(kClass + driver.key, "DriverDesc", driver.description);
    registry.text(kClass + driver.key, "InfPath", "usbstor.inf");
    keys.push_back(kClass + driver.key);
  }

  // The interface entries, each with its reference subkey.
  const struct {
    const std::string& interfaceClass;
    std::string name;
    std::string instance;
  } interfaces[] = {
      {kUsbInterface, "##?#USB#" + usbDevice + "#" + serial + "#" + kUsbInterface,
       "USB\\" + usbDevice + "\\" + serial},
      {kDiskInterface, "##?#USBSTOR#" + diskName + "#" + usbstorInstance + "#" + kDiskInterface,
       "USBSTOR\\" + diskName + "\\" + usbstorInstance},
      {kMediaInterface, "##?#STORAGE#RemovableMedia#" + mediaId + "#" + kMediaInterface,
       "STORAGE\\RemovableMedia\\" + mediaId},
      {kVolumeInterface, "##?#STORAGE#RemovableMedia#" + mediaId + "#" + kVolumeInterface,
       "STORAGE\\RemovableMedia\\" + mediaId},
  };
  for (const auto& entry : interfaces) {
    const std::string path = kDeviceClasses + entry.interfaceClass + "\\" + entry.name;
    registry.text(path, "DeviceInstance", entry.instance);
    registry.text(path + "\\#", "SymbolicLink", "\\\\?\\" + entry.name.substr(4));
    keys.push_back(path);
    keys.push_back(path + "\\#");
  }

  // The letter and the volume name the system gave the medium.
  const std::string target =
      utf16("\\??\\STORAGE#RemovableMedia#" + mediaId + "#" + kVolumeInterface);
  const std::string letterValue = std::string("\\DosDevices\\") + letter + ":";
  const std::string volumeValue =
      format("\\??\\Volume{6e1f%04x-2b3c-11d8-9a4f-806d6172696f}", number);
  registry.binary(kMounted, letterValue.c_str(), target);
  registry.binary(kMounted, volumeValue.c_str(), target);
  mountedValues = {letterValue, volumeValue};
}
