// What the system would know of an emulated drive the bus puts on letters:
// the registry entries each Windows kind looks a drive up in (the USB
// instance on 2000 and XP, the enumeration and letter entries on 98 SE and
// ME), and on 98 SE the USB driver's device path, routed in the port to the
// drive. The test runs and the virtual-drive program write them alike.
// Windows builds only.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace emu {

class CEmulatedDrive;
class CEmuDevicePort;

class CDriveRegistration {
 public:
  // dynDataRoot: the key below HKEY_CURRENT_USER the SDK reads the 98 SE
  // dynamic data from (the redirect it was given).
  explicit CDriveRegistration(std::string dynDataRoot);
  CDriveRegistration(const CDriveRegistration&) = delete;
  CDriveRegistration& operator=(const CDriveRegistration&) = delete;

  // Writes the entries of the running Windows kind for a drive on these
  // letters; false when one of them could not be written.
  bool add(const CEmulatedDrive& drive, const std::vector<char>& letters, CEmuDevicePort& port);
  // Removes what add() wrote for this drive, or for every drive.
  void remove(const CEmulatedDrive& drive, CEmuDevicePort& port);
  void removeAll(CEmuDevicePort& port);

  // The path the 98 SE transport opens for the drive: the USB driver's
  // device, not the volume.
  static std::string win98DevicePath(const CEmulatedDrive& drive);

 private:
  struct Entry {
    const CEmulatedDrive* drive;
    void* root;  // the registry root (HKEY)
    std::string path;
  };
  bool write(const CEmulatedDrive& drive, void* root, const std::string& path, const char* name,
             const std::string& value);
  void removeIf(CEmuDevicePort& port, const CEmulatedDrive* drive);

  std::string dynDataRoot_;
  // Removed one by one: programs of the other Windows kinds write beside them.
  std::vector<Entry> entries_;
  std::vector<std::pair<const CEmulatedDrive*, std::string>> paths_;  // 98 SE device paths
};

}  // namespace emu
