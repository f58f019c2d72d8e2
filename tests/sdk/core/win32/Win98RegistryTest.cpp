// The 98 SE lookups against keys written here. The dynamic-data root does not
// exist on the NT family, so it is redirected to a key under HKEY_CURRENT_USER;
// the HKEY_LOCAL_MACHINE parts are written where 98 SE keeps them.
#include "Win98Registry.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <string>

#include "98Connection.h"
#include "RegistryKey.h"

namespace {

const char kDynRoot[] = "Software\\TovikTests\\DynData";

void writeString(HKEY root, const std::string& path, const char* name, const std::string& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

class Win98RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pdkos::CRegistryKey::redirectRoot(pdkos::RegistryRoot::kDynData, kDynRoot);
    const std::string devices = std::string(kDynRoot) + "\\Config Manager\\Enum\\";
    // An unrelated device first, then the drive.
    writeString(HKEY_CURRENT_USER, devices + "C1A2B3C0", "HardWareKey",
                "PCI\\VEN_8086&DEV_7000\\BUS_00");
    writeString(HKEY_CURRENT_USER, devices + "C1A2B3C4", "HardWareKey",
                "USB\\VID_0F3B&PID_0999\\5&2A9C&0&1");
    writeString(HKEY_LOCAL_MACHINE,
                "Enum\\ESDI\\VANTRELSUSB_DISK_________\\USB&VID_0F3B&PID_0999&USB&VID_0F3B&PID_"
                "0999&5&2A9C&0&100",
                "CurrentDriveLetterAssignment", "FG");
    writeString(HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_0F3B&PID_0999\\5&2A9C&0&1", "SymbolicName",
                "\\DosDevices\\USBDISK7");
  }
  void TearDown() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\TovikTests");
    // The disk's own key only: detection tests keep drives beside it.
    SHDeleteKeyA(HKEY_LOCAL_MACHINE,
                 "Enum\\ESDI\\VANTRELSUSB_DISK_________\\USB&VID_0F3B&PID_0999&USB&VID_0F3B&PID_"
                 "0999&5&2A9C&0&100");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_0F3B&PID_0999");
    pdkos::CRegistryKey::redirectRoot(pdkos::RegistryRoot::kDynData, "");
  }
  CWin98Registry registry;
};

TEST_F(Win98RegistryTest, ALetterLeadsToTheUsbInstanceAndItsDevicePath) {
  std::string productId;
  std::string instance;
  ASSERT_TRUE(registry.findUsbInstanceByLetter('g', &productId, &instance));
  EXPECT_EQ(productId, "PID_0999");
  EXPECT_EQ(instance, "5&2A9C&0&1");
  EXPECT_FALSE(registry.findUsbInstanceByLetter('E', &productId, &instance));

  char path[256] = {};
  ASSERT_TRUE(C98Connection().buildVolumePath('F', path, sizeof(path)));
  // The device name is the symbolic name from its thirteenth character on.
  EXPECT_STREQ(path, "\\\\.\\USBDISK7");
  EXPECT_FALSE(C98Connection().buildVolumePath('H', path, sizeof(path)));
}

TEST_F(Win98RegistryTest, InstancesAreFoundByTheirLastComponent) {
  EXPECT_TRUE(registry.isInstanceRegistered("5&2A9C&0&1"));
  EXPECT_FALSE(registry.isInstanceRegistered("BUS_00"));  // not a Tovik device
  EXPECT_FALSE(registry.isInstanceRegistered("5&2A9C&0"));
}

TEST_F(Win98RegistryTest, TheUsbConnectionAsksTheDynamicData) {
  C98Connection usb;
  EXPECT_TRUE(usb.isInstanceRegistered("5&2A9C&0&1"));
  EXPECT_FALSE(usb.isInstanceRegistered("5&2A9C&0"));
  EXPECT_FALSE(usb.isInstanceRegistered(nullptr));
}

TEST(Win98RegistryWithoutKeysTest, NothingIsFoundWhereNothingIsRegistered) {
  pdkos::CRegistryKey::redirectRoot(pdkos::RegistryRoot::kDynData, "Software\\TovikTests\\None");
  std::string productId;
  std::string instance;
  EXPECT_FALSE(CWin98Registry().findUsbInstanceByLetter('F', &productId, &instance));
  pdkos::CRegistryKey::redirectRoot(pdkos::RegistryRoot::kDynData, "");
}

}  // namespace
