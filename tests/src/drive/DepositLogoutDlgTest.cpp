// The logout window on an emulated drive whose privacy zone was set up and
// entered through the SDK: it brings the public partition back with no
// window shown, and a busy drive tells why and stays in its zone.
#include "DepositLogoutDlg.h"

#include <gtest/gtest.h>

#include <cstring>

#include "DriveSwitchTestSupport.h"
#include "DriveTestSupport.h"

namespace {

using drivetest::BoxAnswerer;
using drivetest::DriveTest;
using drivetest::kBusOnlyLetter;

constexpr char kPassword[] = "open sesame";
constexpr int kPublic = 0;
constexpr int kSafe = 2;

class DepositLogoutDlgTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    emu::DriveConfig config = drivetest::DriveConfig("0F3B27220041");
    config.sectorCount = 8192;
    config.allocationUnitSectors = 1024;
    drive = &MakeDrive(config);
    // On a letter of its own: the switch changes what the volume shows.
    const int id = PlugInserted(*drive, {kBusOnlyLetter});
    ASSERT_GE(id, 0);
    ASSERT_TRUE(device.attachDevice(manager->GetProxy(id).DeviceInfo()));
    DepositParams zone;
    std::strcpy(zone.password, kPassword);
    std::strcpy(zone.hint, "the usual");
    zone.safeBytes = 1024 * 1024;
    ASSERT_EQ(device.deposit().configure(zone, nullptr, true), pdk::kOk);
    ASSERT_EQ(device.deposit().login(kPassword, nullptr, true), pdk::kOk);
    ASSERT_EQ(Visible(), kSafe);
  }
  void TearDown() override {
    device.detachDevice();
    DriveTest::TearDown();
  }
  int Visible() {
    int state = -1;
    EXPECT_EQ(device.getVisiblePartition(kBusOnlyLetter, state), pdk::kOk);
    return state;
  }

  emu::CEmulatedDrive* drive = nullptr;
  CPDK device;
};

TEST_F(DepositLogoutDlgTest, BringsThePublicPartitionBack) {
  BoxAnswerer boxes;
  CDepositLogoutDlg dialog;
  dialog.SetDevice(&device);
  EXPECT_EQ(dialog.Run(), IDOK);
  EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front().text;
  EXPECT_EQ(Visible(), kPublic);
  EXPECT_FALSE(drive->state().safePresented);
}

TEST_F(DepositLogoutDlgTest, ABusyDriveTellsWhyAndStaysInItsZone) {
  port.setLockRefused(kBusOnlyLetter, true);
  BoxAnswerer boxes;
  CDepositLogoutDlg dialog;
  dialog.SetDevice(&device);
  EXPECT_EQ(dialog.Run(), IDCANCEL);
  port.setLockRefused(kBusOnlyLetter, false);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].caption, " Error");
  EXPECT_EQ(boxes.boxes()[0].text,
            "The Tovik Drive is currently in use by another application. Close all applications "
            "and documents and try again");
  EXPECT_EQ(boxes.boxes()[0].button, "OK");
  EXPECT_EQ(Visible(), kSafe);
  EXPECT_TRUE(drive->state().safePresented);
}

}  // namespace
