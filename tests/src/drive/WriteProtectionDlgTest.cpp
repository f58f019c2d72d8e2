// The write-protection window on an emulated drive of revision 3 on the
// emulated bus: it switches the drive both ways with no window shown, the
// drive then refuses or takes writes, and a refused switch tells why.
#include "WriteProtectionDlg.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "DriveSwitchTestSupport.h"
#include "DriveTestSupport.h"
#include "ExplorerWindow.h"

namespace {

using drivetest::BoxAnswerer;
using drivetest::DriveTest;
using drivetest::kSwitchLetter;

constexpr uint8_t kProtectBit = 0x02;  // in byte 8 of the drive's configuration block
constexpr uint32_t kRefusedReads = 100;

class WriteProtectionDlgTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    emu::DriveConfig config = drivetest::DriveConfig("0F3B27220031");
    config.revision = "3.10";
    drive = &MakeDrive(config);
    // On a Wine drive of its own: the switch makes the drive leave the bus and
    // come back, which no other drive must run into, and Explorer windows can
    // show its folder.
    const int id = PlugInserted(*drive, {kSwitchLetter});
    ASSERT_GE(id, 0);
    ASSERT_TRUE(device.attachDevice(manager->GetProxy(id).DeviceInfo()));
  }
  void TearDown() override {
    device.detachDevice();
    DriveTest::TearDown();
  }
  bool Protected() const { return (drive->state().configBlock[8] & kProtectBit) != 0; }

  emu::CEmulatedDrive* drive = nullptr;
  CPDK device;
};

TEST_F(WriteProtectionDlgTest, SwitchesOnAndOffAndTheDriveFollows) {
  ASSERT_FALSE(Protected());
  for (int state : {CWriteProtectionDlg::kProtect, CWriteProtectionDlg::kUnprotect}) {
    SCOPED_TRACE(state);
    // A folder window on the drive would keep its volume busy: it goes first.
    drivetest::ExplorerWindow onDrive(drivetest::Root(kSwitchLetter));
    ASSERT_TRUE(onDrive.Showing());
    BoxAnswerer boxes;
    CWriteProtectionDlg dialog;
    dialog.SetDevice(&device, state);
    drivetest::DepartureCheck departure(bus, {&onDrive});
    EXPECT_EQ(dialog.Run(), IDOK);
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front().text;
    // The switch re-attaches the drive; the window was told to close before it left.
    EXPECT_GT(departure.Departures(), 0);
    EXPECT_EQ(departure.OpenAtDeparture(), 0);
    EXPECT_TRUE(drivetest::PumpUntil([&] { return onDrive.Gone(); }));
    EXPECT_EQ(Protected(), state == CWriteProtectionDlg::kProtect);
    int reported = -1;
    EXPECT_EQ(device.isWriteProtected(reported), pdk::kOk);
    EXPECT_EQ(reported != 0, state == CWriteProtectionDlg::kProtect);
    const emu::ScsiResult write = drivetest::WriteSector(*drive, 100);
    if (state == CWriteProtectionDlg::kProtect) {
      EXPECT_EQ(write.status, emu::kStatusCheckCondition);
      EXPECT_EQ(write.sense.asc, emu::kAscWriteProtected);
    } else {
      EXPECT_EQ(write.status, emu::kStatusGood);
    }
  }
}

struct Refusal {
  const char* name;
  int state;
  bool busy;  // else the drive fails reading its configuration
  const char* text;
};

const char kBusy[] =
    "The Tovik Drive is currently in use by another application. Close all applications and "
    "documents and try again";

TEST_F(WriteProtectionDlgTest, ARefusedSwitchTellsWhyAndEndsWithCancel) {
  const Refusal cases[] = {
      {"busy, on", CWriteProtectionDlg::kProtect, true, kBusy},
      {"busy, off", CWriteProtectionDlg::kUnprotect, true, kBusy},
      {"refused, on", CWriteProtectionDlg::kProtect, false,
       "Unable to switch Write Protection on."},
      {"refused, off", CWriteProtectionDlg::kUnprotect, false,
       "Unable to switch Write Protection off."},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.busy && !drivetest::SdkCanSeeABusyDrive()) continue;
    std::unique_ptr<drivetest::BusyDrive> busy;
    if (c.busy) {
      busy = std::make_unique<drivetest::BusyDrive>(port, *drive, kSwitchLetter);
    } else {
      // Every read of the configuration fails: the ME transport sends a
      // failed command again before it gives up.
      drive->injectFaults(emu::FaultKind::CheckCondition, kRefusedReads,
                          emu::CCommandFilter::vendor(emu::CEmulatedDrive::kSubCodeConfigRead));
    }
    // The opposite state first, so a switch that happened would show.
    std::array<uint8_t, 16> block = drive->state().configBlock;
    emu::DriveState before = drive->state();
    before.configBlock[8] = c.state == CWriteProtectionDlg::kProtect
                                ? uint8_t(block[8] & ~kProtectBit)
                                : uint8_t(block[8] | kProtectBit);
    drive->restore(before);
    BoxAnswerer boxes;
    CWriteProtectionDlg dialog;
    dialog.SetDevice(&device, c.state);
    EXPECT_EQ(dialog.Run(), IDCANCEL);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, " Error");
    EXPECT_EQ(boxes.boxes()[0].text, c.text);
    EXPECT_EQ(boxes.boxes()[0].button, "OK");
    busy.reset();
    EXPECT_EQ(Protected(), c.state != CWriteProtectionDlg::kProtect);
    drive->injectFaults(emu::FaultKind::CheckCondition, 0);
  }
}

}  // namespace
