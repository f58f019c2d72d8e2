#include "../DriveRegistration.h"

#include <windows.h>

#include <shlwapi.h>

#include <cctype>

#include "EmuDevicePort.h"
#include "EmulatedDrive.h"
#include "OSKind.h"

namespace emu {

namespace {

const char kNtUsb[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0f3b&Pid_0010";
const char k98Esdi[] = "Enum\\ESDI\\VANTRELSUSB_DISK_________";
const char k98Usb[] = "Enum\\USB\\VID_0F3B&PID_0010";
const char kMeScsi[] = "Enum\\SCSI\\TOVIKTEST";  // the lookup matches the vendor inside

std::string upperWithUnderscores(std::string text) {
  for (char& c : text)
    c = c == ' ' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

CDriveRegistration::CDriveRegistration(std::string dynDataRoot)
    : dynDataRoot_(std::move(dynDataRoot)) {}

bool CDriveRegistration::write(const CEmulatedDrive& drive, void* root, const std::string& path,
                               const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(static_cast<HKEY>(root), path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  entries_.push_back({&drive, root, path});
  LONG result = ERROR_SUCCESS;
  if (name != nullptr) {
    result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool CDriveRegistration::add(const CEmulatedDrive& drive, const std::vector<char>& letters,
                             CEmuDevicePort& port) {
  const DriveConfig& c = drive.config();
  const std::string letterText(letters.begin(), letters.end());
  switch (GetOSKind()) {
    case pdk::kOSWin2000:
    case pdk::kOSWinXP:
      return write(drive, HKEY_LOCAL_MACHINE, std::string(kNtUsb) + "\\" + c.serial, nullptr, "");
    case pdk::kOSWin98SE: {
      const std::string instance = "5&" + c.serial + "&0&1";
      const std::string path = win98DevicePath(drive);
      port.attachPath(path, const_cast<CEmulatedDrive*>(&drive));
      paths_.emplace_back(&drive, path);
      // The device name starts at the thirteenth character of the symbolic name.
      return write(drive, HKEY_CURRENT_USER, dynDataRoot_ + "\\Config Manager\\Enum\\" + c.serial,
                   "HardWareKey", "USB\\VID_0F3B&PID_0010\\" + instance) &&
             write(drive, HKEY_LOCAL_MACHINE,
                   std::string(k98Esdi) + "\\USB&VID_0F3B&PID_0999&USB&VID_0F3B&PID_0010&" +
                       instance + "00",
                   "CurrentDriveLetterAssignment", letterText) &&
             write(drive, HKEY_LOCAL_MACHINE, std::string(k98Usb) + "\\" + instance,
                   "SymbolicName", "\\DosDevices\\TOVIK" + c.serial);
    }
    case pdk::kOSWinME: {
      const std::string key = std::string(kMeScsi) + upperWithUnderscores(c.vendor) + "\\" +
                              "USBSTOR&DISK&VEN_" + upperWithUnderscores(c.vendor) + "&PROD_" +
                              upperWithUnderscores(c.product) + "&REV_" + c.revision + "&" +
                              c.serial + "&0";
      return write(drive, HKEY_LOCAL_MACHINE, key, "CurrentDriveLetterAssignment", letterText) &&
             (!c.removable || write(drive, HKEY_LOCAL_MACHINE, key, "Removable", "1"));
    }
    default:
      return true;
  }
}

std::string CDriveRegistration::win98DevicePath(const CEmulatedDrive& drive) {
  return "\\\\.\\TOVIK" + drive.config().serial;
}

void CDriveRegistration::removeIf(CEmuDevicePort& port, const CEmulatedDrive* drive) {
  std::vector<Entry> kept;
  for (const Entry& e : entries_) {
    if (drive == nullptr || e.drive == drive) {
      SHDeleteKeyA(static_cast<HKEY>(e.root), e.path.c_str());
    } else {
      kept.push_back(e);
    }
  }
  entries_.swap(kept);
  std::vector<std::pair<const CEmulatedDrive*, std::string>> keptPaths;
  for (const auto& p : paths_) {
    if (drive == nullptr || p.first == drive) {
      port.detachPath(p.second);
    } else {
      keptPaths.push_back(p);
    }
  }
  paths_.swap(keptPaths);
}

void CDriveRegistration::remove(const CEmulatedDrive& drive, CEmuDevicePort& port) {
  removeIf(port, &drive);
}

void CDriveRegistration::removeAll(CEmuDevicePort& port) { removeIf(port, nullptr); }

}  // namespace emu
