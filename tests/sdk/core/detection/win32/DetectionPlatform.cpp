#include "../DetectionPlatform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "AspiLibraryLink.h"
#include "DriveRegistration.h"
#include "OSKind.h"
#include "RegistryKey.h"

namespace {

// Its own root: other test programs use the dynamic-data redirect too.
const char kDynRoot[] = "Software\\TovikDetectionTests\\DynData";

emu::CDriveRegistration& registration() {
  static emu::CDriveRegistration entries(kDynRoot);
  return entries;
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
  ASSERT_TRUE(registration().add(drive, letters, port)) << "the drive's registry entries";
}

std::string win98DevicePath(const emu::CEmulatedDrive& drive) {
  return emu::CDriveRegistration::win98DevicePath(drive);
}

void unregisterDrives(emu::CEmuDevicePort& port) { registration().removeAll(port); }

void connectAspi(emu::CEmuAspiTarget* target) {
  ASSERT_TRUE(emu::connectAspiLibrary(target)) << "wnaspi32.dll must lie next to the test program";
}
