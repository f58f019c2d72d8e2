#include "../DetectionPlatform.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "EmuAspiLibrary.h"
#include "EmuAspiTarget.h"
#include "EmuDevicePort.h"
#include "EmulatedDrive.h"
#include "OSKind.h"
#include "RegistryKey.h"

namespace {

// Its own root: other test programs use the dynamic-data redirect too.
const char kDynRoot[] = "Software\\TovikDetectionTests\\DynData";
const char kNtUsb[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0f3b&Pid_0010";
const char k98Esdi[] = "Enum\\ESDI\\VANTRELSUSB_DISK_________";
const char k98Usb[] = "Enum\\USB\\VID_0F3B&PID_0010";
const char kMeScsi[] = "Enum\\SCSI\\TOVIKTEST";  // the lookup matches the vendor inside

std::vector<std::string> g_paths;  // 98 SE device paths routed to drives
// The keys written, removed one by one afterwards: test programs of the other
// Windows kinds write beside them at the same time.
std::vector<std::pair<HKEY, std::string>> g_keys;

void writeString(HKEY root, const std::string& path, const char* name, const std::string& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  if (name != nullptr) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }
  RegCloseKey(key);
  g_keys.emplace_back(root, path);
}

std::string upperWithUnderscores(std::string text) {
  for (char& c : text) c = c == ' ' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

void prepareDetectionPlatform() {
  const char* expected = std::getenv("TOVIK_EXPECT_OSKIND");
  ASSERT_NE(expected, nullptr) << "run with TOVIK_EXPECT_OSKIND set to the Windows kind Wine plays";
  ASSERT_EQ(GetOSKind(), std::atoi(expected)) << "Wine does not report the expected version";
  pdkos::CRegistryKey::redirectRoot(pdkos::RegistryRoot::kDynData, kDynRoot);
}

void registerDrive(const emu::CEmulatedDrive& drive, const std::vector<char>& letters,
                   emu::CEmuDevicePort& port) {
  const emu::DriveConfig& c = drive.config();
  const std::string letterText(letters.begin(), letters.end());
  switch (GetOSKind()) {
    case pdk::kOSWin2000:
    case pdk::kOSWinXP:
      writeString(HKEY_LOCAL_MACHINE, std::string(kNtUsb) + "\\" + c.serial, nullptr, "");
      break;
    case pdk::kOSWin98SE: {
      const std::string instance = "5&" + c.serial + "&0&1";
      writeString(HKEY_CURRENT_USER, std::string(kDynRoot) + "\\Config Manager\\Enum\\" + c.serial,
                  "HardWareKey", "USB\\VID_0F3B&PID_0010\\" + instance);
      writeString(HKEY_LOCAL_MACHINE,
                  std::string(k98Esdi) + "\\USB&VID_0F3B&PID_0999&USB&VID_0F3B&PID_0010&" +
                      instance + "00",
                  "CurrentDriveLetterAssignment", letterText);
      // The device name starts at the thirteenth character of the symbolic name.
      writeString(HKEY_LOCAL_MACHINE, std::string(k98Usb) + "\\" + instance, "SymbolicName",
                  "\\DosDevices\\TOVIK" + c.serial);
      const std::string path = win98DevicePath(drive);
      port.attachPath(path, const_cast<emu::CEmulatedDrive*>(&drive));
      g_paths.push_back(path);
      break;
    }
    case pdk::kOSWinME: {
      const std::string key = std::string(kMeScsi) + upperWithUnderscores(c.vendor) + "\\" +
                              "USBSTOR&DISK&VEN_" + upperWithUnderscores(c.vendor) + "&PROD_" +
                              upperWithUnderscores(c.product) + "&REV_" + c.revision + "&" +
                              c.serial + "&0";
      writeString(HKEY_LOCAL_MACHINE, key, "CurrentDriveLetterAssignment", letterText);
      if (c.removable) writeString(HKEY_LOCAL_MACHINE, key, "Removable", "1");
      break;
    }
    default:
      break;
  }
}

std::string win98DevicePath(const emu::CEmulatedDrive& drive) {
  return "\\\\.\\TOVIK" + drive.config().serial;
}

void unregisterDrives(emu::CEmuDevicePort& port) {
  for (const auto& [root, path] : g_keys) SHDeleteKeyA(root, path.c_str());
  g_keys.clear();
  for (const auto& path : g_paths) port.detachPath(path);
  g_paths.clear();
}

void connectAspi(emu::CEmuAspiTarget* target) {
  static HMODULE library = LoadLibraryA(emu::kAspiLibraryName);
  auto setTarget = reinterpret_cast<emu::AspiSetTargetFn>(
      reinterpret_cast<void*>(GetProcAddress(library, emu::kAspiSetTargetName)));
  ASSERT_NE(setTarget, nullptr) << "wnaspi32.dll must lie next to the test program";
  if (target != nullptr) {
    setTarget(emu::CEmuAspiTarget::sendThunk, emu::CEmuAspiTarget::supportThunk, target);
  } else {
    setTarget(nullptr, nullptr, nullptr);
  }
}
