// Where Windows 2000 and XP keep the registry chain of a USB storage device,
// and the names the maker's drives have in it.
#pragma once

namespace regpath {

constexpr const char* kEnum = "SYSTEM\\CurrentControlSet\\Enum";
constexpr const char* kUsb = "SYSTEM\\CurrentControlSet\\Enum\\USB";
constexpr const char* kUsbstor = "SYSTEM\\CurrentControlSet\\Enum\\USBSTOR";
constexpr const char* kRemovableMedia = "SYSTEM\\CurrentControlSet\\Enum\\STORAGE\\RemovableMedia";
constexpr const char* kVolume = "SYSTEM\\CurrentControlSet\\Enum\\STORAGE\\Volume";
constexpr const char* kClass = "SYSTEM\\CurrentControlSet\\Control\\Class";
constexpr const char* kDeviceClasses = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";
constexpr const char* kMountedDevices = "SYSTEM\\MountedDevices";

// The maker's USB vendor id and its two product ids, as Windows spells the keys.
constexpr const char* kVendorPrefix = "Vid_0f3b&";
constexpr const char* kProductIds[] = {"Pid_0010", "Pid_0011"};
// Disk keys of the maker's drives carry the product name.
constexpr const char* kProductName = "Plunda";

// Interface classes: USB devices, disks, and the two of a volume.
constexpr const char* kUsbDeviceInterface = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
constexpr const char* kDiskInterface = "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
constexpr const char* kMediaInterface = "{53f5630a-b6bf-11d0-94f2-00a0c91efb8b}";
constexpr const char* kVolumeInterface = "{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";

}  // namespace regpath
