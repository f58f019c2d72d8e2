// The registry lookups of the NT family and of Windows ME, and the registry
// cleaner's check of a drive's USB instance, against keys written here under
// HKEY_LOCAL_MACHINE (and removed again).
#include <gtest/gtest.h>

#include <string>

#include "MEConnection.h"
#include "MERegistry.h"
#include "NTConnection.h"
#include "NTRegistry.h"
#include "ScopedRegistry.h"
#include "regcleaner/PDKRegFactory.h"

namespace {

const std::string kUsb = "SYSTEM\\CurrentControlSet\\Enum\\USB\\";
const std::string kUsbHub = "{36FC9E60-C465-11CF-8056-444553540000}\\";

class NTRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keys.write(kUsb + "Vid_0f3b&Pid_0010\\0F3B27000042", "Driver", kUsbHub + "0007");
    keys.write(kUsb + "Vid_0f3b&Pid_0010\\0F3B27000042\\Device Parameters");
    keys.write(kUsb + "VID_0F3B&PID_0011\\5&1F2E&0&2", "Driver", kUsbHub + "0008");
    // A longer product part and another maker's device do not count for the driver lookup.
    keys.write(kUsb + "Vid_0f3b&Pid_00100\\0F3B99", "Driver", kUsbHub + "0009");
    keys.write(kUsb + "Vid_1234&Pid_0010\\0F3B27000055", "Driver", kUsbHub + "0010");
  }
  ScopedRegistry keys;
};

TEST_F(NTRegistryTest, InstancesOfTheMakersDevicesAreFoundByPartOfTheirName) {
  CNTConnection nt;
  const struct {
    const char* text;
    bool found;
  } cases[] = {{"27000042", true},     {"0F3B27000042", true},  {"5&1F2E", true},
               {"0F3B99", true},       {"0F3B27000055", false}, {"Device Parameters", false},
               {"0F3B27000043", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(nt.isInstanceRegistered(c.text), c.found);
  }
  EXPECT_FALSE(nt.isInstanceRegistered(nullptr));
}

TEST_F(NTRegistryTest, TheDriverKeyLeadsToItsInstance) {
  const struct {
    std::string driver;
    bool found;
    const char* instance;
  } cases[] = {{kUsbHub + "0007", true, "0F3B27000042"},
               {kUsbHub + "0008", true, "5&1F2E&0&2"},
               {kUsbHub + "0009", false, ""},
               {kUsbHub + "0010", false, ""},
               {kUsbHub + "000", false, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.driver);
    std::string instance;
    EXPECT_EQ(CNTRegistry().findInstanceByDriver(c.driver, &instance), c.found);
    EXPECT_EQ(instance, c.instance);
  }
}

TEST_F(NTRegistryTest, TheCleanerFindsTheUsbInstanceOfASerial) {
  keys.write(kUsb + "Vid_0f3b&Pid_0011\\0F3B27000043");
  std::unique_ptr<IPDKRegInfo> info = CPDKRegFactory::instance().createRegInfo();
  ASSERT_NE(info, nullptr);
  const struct {
    const char* serial;
    bool registered;
  } cases[] = {{"0F3B27000042", true},
               {"0F3B27000043", true},
               {"0F3B27000044", false},
               {"0F3B2700004", false},
               {"0F3B99", false},        // under a product id the drives do not have
               {"0F3B27000055", false},  // under another maker
               {"", false},              // would be the product key itself
               {"0F3B27000042\\Device Parameters", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serial);
    bool registered = !c.registered;
    EXPECT_EQ(info->isRegistered(c.serial, "E:\\", registered), 0);
    EXPECT_EQ(registered, c.registered);
  }
  bool registered = true;
  EXPECT_EQ(info->isRegistered(nullptr, nullptr, registered), 0);
  EXPECT_FALSE(registered);
}

TEST(NTRegistryWithoutKeysTest, NothingIsFoundWhereNothingIsRegistered) {
  std::string instance = "kept";
  EXPECT_FALSE(CNTRegistry().findInstanceByDriver(kUsbHub + "0007", &instance));
  EXPECT_EQ(instance, "kept");
  EXPECT_FALSE(CNTRegistry().isInstanceRegistered("0F3B27000042"));
  bool registered = true;
  EXPECT_EQ(
      CPDKRegFactory::instance().createRegInfo()->isRegistered("0F3B27000042", "", registered), 0);
  EXPECT_FALSE(registered);
}

TEST(MERegistryTest, UsbInstancesAreMatchedWholeIgnoringCase) {
  ScopedRegistry keys;
  keys.write("Enum\\USB\\VID_0F3B&PID_0010\\ABCDEF12");
  keys.write("Enum\\USB\\Vid_0f3b&Pid_0011\\QRS5");
  keys.write("Enum\\USB\\VID_1234&PID_0010\\XYZ99");
  CMEConnection me;
  const struct {
    const char* text;
    bool found;
  } cases[] = {{"ABCDEF12", true}, {"abcdef12", true}, {"ABCDEF1", false}, {"BCDEF12", false},
               {"qrs5", true},     {"XYZ99", false},   {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(me.isInstanceRegistered(c.text), c.found);
  }
  EXPECT_FALSE(me.isInstanceRegistered(nullptr));
}

}  // namespace
