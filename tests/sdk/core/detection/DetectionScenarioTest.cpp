// Detection for real: the SDK's thread listens, the emulated bus plugs drives
// in and out by announcing them as the system does, and a listener hears what
// an application would. Under Wine this runs once per Windows kind.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ConnectionSingleton.h"
#include "DetectionPlatform.h"
#include "DeviceHandle.h"
#include "DevicePoll.h"
#include "DevicePort.h"
#include "EmuAspiTarget.h"
#include "EmuDevicePort.h"
#include "EmulatedBus.h"
#include "EmulatedDrive.h"
#include "OSKind.h"
#include "RecordingListener.h"
#include "SdkEnvironment.h"
#include "ReconnectJob.h"
#include "sdk/PDKSDK.h"
#include "sdk/core/PDKSDK.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SdkEnvironment(prepareDetectionPlatform));

constexpr auto kHearingLimit = 10s;

uint32_t maskOf(std::initializer_list<char> letters) {
  uint32_t mask = 0;
  for (char c : letters) mask |= pdk::letterBit(c);
  return mask;
}

// The Windows kind ends the serial: the programs of the different kinds run
// side by side and register their drives in one Wine registry.
emu::DriveConfig driveWithSerial(const char* serial) {
  emu::DriveConfig c;
  c.serial = serial + std::to_string(GetOSKind());
  c.sectorCount = 4096;
  return c;
}

// Every test plugs its drives on letters of its own: a letter still settling
// from one test would otherwise hold up the next.
class DetectionTest : public ::testing::Test {
 protected:
  DetectionTest() : bus(port, &aspi) {
    pdk::setDevicePort(&port);
    connectAspi(&aspi);
  }
  void SetUp() override {
    ASSERT_TRUE(listener.startListen());
    // A drive plugged in during the initial scan would be found by the scan.
    CPDKSDK::instance().poll().waitRunAfterInit();
  }
  ~DetectionTest() override {
    listener.stopListen();
    for (auto& d : drives) bus.unplug(d.get());
    unregisterDrives(port);
    connectAspi(nullptr);
    pdk::setDevicePort(nullptr);
  }

  emu::CEmulatedDrive& makeDrive(const emu::DriveConfig& config) {
    drives.push_back(std::make_unique<emu::CEmulatedDrive>(config));
    return *drives.back();
  }
  void plug(emu::CEmulatedDrive& drive, const std::vector<char>& letters) {
    registerDrive(drive, letters, port);
    bus.plugIn(&drive, letters);
  }
  // Plugs the drive in and waits until it is connected; its params.
  DeviceParams plugConnected(emu::CEmulatedDrive& drive, const std::vector<char>& letters) {
    plug(drive, letters);
    EXPECT_TRUE(listener.waitFor(1, kHearingLimit));
    const auto events = listener.events();
    if (events.empty() || events[0].what != "connected") {
      ADD_FAILURE() << "the drive was not connected";
      return DeviceParams();
    }
    listener.clear();
    return events[0].params;
  }

  emu::CEmuDevicePort port;
  emu::CEmuAspiTarget aspi;
  std::vector<std::unique_ptr<emu::CEmulatedDrive>> drives;
  emu::CEmulatedBus bus;
  RecordingListener listener;
};

TEST_F(DetectionTest, APluggedDriveIsConnectedOnceSettledAndDisconnectedWhenPulled) {
  emu::CEmulatedDrive& drive = makeDrive(driveWithSerial("0F3B27100001"));
  const auto start = Clock::now();
  plug(drive, {'E'});
  ASSERT_TRUE(listener.waitFor(1, kHearingLimit));
  EXPECT_GE(Clock::now() - start, 1400ms);  // the settling delay
  auto events = listener.events();
  ASSERT_EQ(events[0].what, "connected");
  const DeviceParams p = events[0].params;
  EXPECT_EQ(p.driveMask, maskOf({'E'}));
  EXPECT_EQ(p.serial, drive.config().serial);
  EXPECT_STREQ(p.vendor, "VANTREL");
  EXPECT_STREQ(p.product, "Plunda Drive");
  EXPECT_EQ(p.status, pdk::kOk);
  EXPECT_EQ(p.removable, 1);
  EXPECT_TRUE(p.id >= 0 && p.id < 128);

  bus.unplug(&drive);
  ASSERT_TRUE(listener.waitFor(2, kHearingLimit));
  events = listener.events();
  EXPECT_EQ(events[1].what, "disconnected");
  EXPECT_EQ(events[1].params.id, p.id);
  EXPECT_EQ(events[1].params.status, pdk::kNotConnected);
}

TEST_F(DetectionTest, ASecondVolumeOfTheSameDriveIsAnUpdateWithBothLetters) {
  emu::CEmulatedDrive& drive = makeDrive(driveWithSerial("0F3B27100002"));
  plug(drive, {'F', 'G'});
  if (GetOSKind() == pdk::kOSWinME) {
    // ME finds the drive by its adapter and reads all its letters at once.
    ASSERT_TRUE(listener.waitFor(1, kHearingLimit));
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(listener.kinds(), std::vector<std::string>{"connected"});
    EXPECT_EQ(listener.events()[0].params.driveMask, maskOf({'F', 'G'}));
    return;
  }
  ASSERT_TRUE(listener.waitFor(2, kHearingLimit));
  const auto events = listener.events();
  ASSERT_EQ(listener.kinds(), (std::vector<std::string>{"connected", "updated"}));
  EXPECT_EQ(events[0].params.driveMask, maskOf({'F'}));
  EXPECT_EQ(events[1].params.driveMask, maskOf({'F', 'G'}));
  EXPECT_EQ(events[1].params.status, pdk::kOk);
  EXPECT_EQ(events[1].params.id, events[0].params.id);
}

TEST_F(DetectionTest, ALetterThatLeavesBeforeItSettledIsNeverReported) {
  emu::CEmulatedDrive& drive = makeDrive(driveWithSerial("0F3B27100003"));
  plug(drive, {'Q'});
  bus.unplug(&drive);
  std::this_thread::sleep_for(2500ms);
  EXPECT_TRUE(listener.events().empty());
}

TEST_F(DetectionTest, AnOldPlundaIsNotRecognisedAndNeverRetried) {
  emu::DriveConfig c = driveWithSerial("0F3B27100004");
  c.product = "Plunda";
  c.revision = "1.20";
  c.identifierText = "Plunda Classic";
  emu::CEmulatedDrive& drive = makeDrive(c);
  listener.retryUnrecognised = true;
  plug(drive, {'H'});
  ASSERT_TRUE(listener.waitFor(1, kHearingLimit));
  std::this_thread::sleep_for(1000ms);
  ASSERT_EQ(listener.kinds(), std::vector<std::string>{"notRecognized"});
  EXPECT_STREQ(listener.events()[0].params.product, "Plunda");
}

TEST_F(DetectionTest, ADriveRefusedByTheProductCheckIsTakenInWhenTheListenerAsks) {
  emu::DriveConfig c = driveWithSerial("0F3B27100005");
  c.product = "Other Disk";
  c.identifierText = "Acme Other 5";  // does not name the maker
  emu::CEmulatedDrive& drive = makeDrive(c);
  listener.retryUnrecognised = true;
  plug(drive, {'J'});
  ASSERT_TRUE(listener.waitFor(2, kHearingLimit));
  const auto events = listener.events();
  ASSERT_EQ(listener.kinds(), (std::vector<std::string>{"notRecognized", "connected"}));
  EXPECT_EQ(events[1].params.status, pdk::kOk);
  EXPECT_EQ(events[1].params.serial, drive.config().serial);
  EXPECT_EQ(events[1].params.driveMask, maskOf({'J'}));
}

TEST_F(DetectionTest, AReconnectHidesTheDrivesShortAbsence) {
  emu::CEmulatedDrive& drive = makeDrive(driveWithSerial("0F3B27100006"));
  const DeviceParams p = plugConnected(drive, {'K'});
  bus.setReattachBehaviour(&drive, {false, 300ms});
  CDeviceHandle handle(p);
  CReconnectJob job(p, handle, 20, 1, 1);
  EXPECT_EQ(CPDKSDK::instance().transparentReconnect(job), pdk::kOk);
  // The drive really left and came back.
  EXPECT_EQ(bus.events().size(), 3u);
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(listener.events().empty());
  DeviceParams held;
  ASSERT_TRUE(CPDKSDK::instance().findByLetter('K', &held));
  EXPECT_EQ(held.id, p.id);
  EXPECT_EQ(held.status, pdk::kOk);
}

TEST_F(DetectionTest, AReconnectedDriveThatStaysAwayIsReportedGoneAtTheLimit) {
  emu::CEmulatedDrive& drive = makeDrive(driveWithSerial("0F3B27100007"));
  const DeviceParams p = plugConnected(drive, {'L'});
  bus.setReattachBehaviour(&drive, {true, 0ms});
  CDeviceHandle handle(p);
  CReconnectJob job(p, handle, 2, 0, 1);
  const auto start = Clock::now();
  EXPECT_EQ(CPDKSDK::instance().transparentReconnect(job), pdk::kNotConnected);
  EXPECT_GE(Clock::now() - start, 1900ms);
  ASSERT_EQ(listener.kinds(), std::vector<std::string>{"disconnected"});
  EXPECT_EQ(listener.events()[0].params.id, p.id);
}

TEST_F(DetectionTest, OnWindows2000AndXPAnUnregisteredDriveIsNotTakenIn) {
  if (GetOSKind() != pdk::kOSWin2000 && GetOSKind() != pdk::kOSWinXP)
    GTEST_SKIP() << "only these kinds check the registry";
  emu::CEmulatedDrive& drive = makeDrive(driveWithSerial("0F3B27100008"));
  bus.plugIn(&drive, std::vector<char>{'M'});  // no registry entries
  std::this_thread::sleep_for(2500ms);
  EXPECT_TRUE(listener.events().empty());
}

}  // namespace
