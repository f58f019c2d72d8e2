// The privacy zone of a drive the system sees as a fixed disk: its
// partitions, their markers, and the re-attach after every switch, which the
// SDK's detection must hide from its listeners.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ConnectionSingleton.h"
#include "CookieImpl.h"
#include "DepositImpl.h"
#include "DepositSink.h"
#include "DevicePoll.h"
#include "DriveFixture.h"
#include "EmulatedBus.h"
#include "FixDiskDepositHdl.h"
#include "StoreFixture.h"
#include "VolumeCheck.h"
#include "detection/RecordingListener.h"
#include "sdk/core/PDKSDK.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kPassword = "open sesame";
constexpr uint32_t kUnit = 64 * 32;  // sectors: the drive's unit factors
constexpr uint32_t kSectors = 8 * kUnit;

emu::DriveConfig fixedDrive(const char* serial, uint32_t sectors) {
  emu::DriveConfig c = smallDrive(sectors);
  c.serial = serial;
  c.removable = false;
  c.revision = "3.10";
  c.commandLogCapacity = 100000;
  c.clearHiddenOnRelayout = true;  // only the SDK's backup keeps the hidden area
  return c;
}

DepositParams request(int32_t safeUnits, int32_t dummyUnits) {
  DepositParams p;
  std::strcpy(p.password, kPassword);
  std::strcpy(p.publicLabel, "PUBLIC");
  std::strcpy(p.dummyLabel, "DUMMY");
  std::strcpy(p.safeLabel, "SAFE");
  p.safeBytes = safeUnits * kUnit * 512;
  p.dummyBytes = dummyUnits * kUnit * 512;
  return p;
}

std::string text(const Sector& s, size_t at, size_t length) {
  std::string t(reinterpret_cast<const char*>(s.data() + at), length);
  return t.substr(0, t.find_last_not_of(' ') + 1);
}

// A drive on the bus, plugged in and taken in by detection before each test.
class FixedDiskZoneTest : public ::testing::Test {
 public:  // read() is the disk the volume checks look at
  explicit FixedDiskZoneTest(const char* serial = "0F3B27200001", uint32_t sectors = kSectors)
      : drive(fixedDrive(serial, sectors)),
        bus(port),
        connection(CConnectionSingleton::instance()) {
    pdk::setDevicePort(&port);
  }
  void SetUp() override {
    ASSERT_TRUE(listener.startListen());
    CPDKSDK::instance().poll().waitRunAfterInit();
    bus.plugIn(&drive, std::vector<char>{'E'});
    ASSERT_TRUE(listener.waitFor(1, 10s));
    params = listener.events()[0].params;
    ASSERT_EQ(params.removable, 0);
    listener.clear();
  }
  ~FixedDiskZoneTest() override {
    listener.stopListen();
    bus.unplug(&drive);
    pdk::setDevicePort(nullptr);
  }

  Sector read(uint32_t lba) {
    Sector s(512);
    CDeviceHandle h(params);
    EXPECT_EQ(connection.read10(h, s.data(), lba, 1, 10000), 0);
    return s;
  }
  // Start and size of a partition entry of sector 0.
  std::pair<uint32_t, uint32_t> entry(int index) {
    const Sector mbr = read(0);
    return {le32(mbr, 446 + 16 * index + 8), le32(mbr, 446 + 16 * index + 12)};
  }
  // The marker file in the root directory of the volume at start.
  std::string markerAt(uint32_t start) {
    const Sector boot = read(start);
    return text(read(start + 1 + 2 * le16(boot, 22)), 32, 11);
  }
  void checkPartition(uint32_t start, const std::string& label, const std::string& marker,
                      const std::string& fatType = "FAT12") {
    EXPECT_EQ(markerAt(start), marker);
    if (!checkersPresent()) return;
    Tolerated tolerated;
    tolerated.labelPadding = label.size() < 11;
    tolerated.marker = marker;
    checkVolume(*this, drive.config().sectorCount, start, label, fatType, tolerated, "-a");
  }

  emu::CEmulatedDrive drive;
  emu::CEmuDevicePort port;
  emu::CEmulatedBus bus;
  RecordingListener listener;
  ScriptedConnection connection;
  DeviceParams params;
  DepositSink sink;
};

TEST_F(FixedDiskZoneTest, PartitionsMarkersAndSwitchesBehindAHiddenReattach) {
  CDepositImpl deposit(connection, params);
  DepositParams zone = request(2, 1);
  std::strcpy(zone.hint, "the usual");
  ASSERT_EQ(deposit.configure(zone, &sink, true), 0);
  EXPECT_EQ(sink.events(), (std::vector<std::string>{"formatDone", "completed"}));
  // The hint is the new zone's, as on a removable drive.
  char hint[128] = "";
  uint32_t size = sizeof hint;
  EXPECT_EQ(deposit.getPasswordHint(hint, size), 0);
  EXPECT_STREQ(hint, "the usual");
  EXPECT_FALSE(port.isLocked('E'));
  const uint32_t publicSectors = 5 * kUnit;
  EXPECT_EQ(entry(0), std::make_pair(63u, publicSectors - 63));
  EXPECT_EQ(entry(1), std::make_pair(publicSectors, kUnit));  // the dummy
  checkPartition(63, "PUBLIC", ".PUBLIC");
  checkPartition(publicSectors, "DUMMY", ".DUMMY");

  sink.clear();
  ASSERT_EQ(deposit.login(kPassword, &sink, true), 0);  // re-attached before it returns
  EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});
  EXPECT_EQ(entry(1), std::make_pair(publicSectors, 2 * kUnit));
  checkPartition(publicSectors, "SAFE", ".SAFE");
  bool inSafe = false;
  EXPECT_EQ(deposit.isInSafePartition(inSafe), 0);
  EXPECT_TRUE(inSafe);

  sink.clear();
  ASSERT_EQ(deposit.logout(&sink, false), 0);  // returns at once
  ASSERT_TRUE(sink.waitFor(1, 10s));
  EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});
  EXPECT_EQ(markerAt(publicSectors), ".DUMMY");

  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(listener.events().empty()) << "the listener saw the drive leave";
}

// Drives of 1 and 2 GB: partitions beyond a whole-drive volume's limit take
// the FAT table's last row, and a layout with a volume too large for any row
// is refused before the drive is re-laid.
struct LargeDisk {
  const char* name;
  uint32_t units;  // of 1 MB
  int32_t safeUnits;
  int32_t dummyUnits;
  int expected;  // configure's answer
};

class LargeFixedDiskTest : public FixedDiskZoneTest,
                           public ::testing::WithParamInterface<LargeDisk> {
 protected:
  LargeFixedDiskTest() : FixedDiskZoneTest("0F3B27200003", GetParam().units * kUnit) {}
};

TEST_P(LargeFixedDiskTest, ConfigureLoginAndLogoutLayVolumesTheCheckersAccept) {
  const LargeDisk& c = GetParam();
  CDepositImpl deposit(connection, params);
  const emu::DriveState before = drive.state();
  drive.clearCommandLog();
  ASSERT_EQ(deposit.configure(request(c.safeUnits, c.dummyUnits), &sink, true), c.expected);
  if (c.expected != 0) {
    EXPECT_EQ(sink.events(), std::vector<std::string>{"error " + std::to_string(c.expected) +
                                                      " error in format process"});
    for (const emu::CommandRecord& r : drive.commandLog())
      EXPECT_FALSE(r.cdb[0] == 0xFF && r.cdb[1] == 0x45) << "configure was sent";
    const emu::DriveState after = drive.state();
    EXPECT_EQ(after.safeUnits, before.safeUnits);
    EXPECT_EQ(after.dummyUnits, before.dummyUnits);
    EXPECT_EQ(after.hiddenArea, before.hiddenArea);
    EXPECT_FALSE(port.isLocked('E'));
    return;
  }
  EXPECT_EQ(sink.events(), (std::vector<std::string>{"formatDone", "completed"}));
  const uint32_t publicSectors = (c.units - c.safeUnits - c.dummyUnits) * kUnit;
  EXPECT_EQ(entry(0), std::make_pair(63u, publicSectors - 63));
  EXPECT_EQ(entry(1), std::make_pair(publicSectors, uint32_t(c.dummyUnits) * kUnit));
  checkPartition(63, "PUBLIC", ".PUBLIC", "FAT16");
  checkPartition(publicSectors, "DUMMY", ".DUMMY", "FAT16");

  sink.clear();
  ASSERT_EQ(deposit.login(kPassword, &sink, true), 0);
  EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});
  EXPECT_EQ(entry(1), std::make_pair(publicSectors, uint32_t(c.safeUnits) * kUnit));
  checkPartition(publicSectors, "SAFE", ".SAFE", "FAT16");

  sink.clear();
  ASSERT_EQ(deposit.logout(&sink, true), 0);
  EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});
  EXPECT_EQ(markerAt(publicSectors), ".DUMMY");
  checkPartition(63, "PUBLIC", ".PUBLIC", "FAT16");
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LargeFixedDiskTest,
    ::testing::Values(LargeDisk{"OneGBPublicBeyondTheWholeDriveLimit", 1024, 300, 100, 0},
                      LargeDisk{"TwoGBEveryRowUpToTheLast", 2048, 1000, 24, 0},
                      LargeDisk{"TwoGBPublicTooLargeForAnyRow", 2048, 29, 0, 19}),
    [](const ::testing::TestParamInfo<LargeDisk>& info) { return std::string(info.param.name); });

TEST_F(FixedDiskZoneTest, SizesBelowTheLimitsAreRefusedBeforeAnythingChanges) {
  CDepositImpl deposit(connection, params);
  int64_t minSafe = 0, minDummy = 0;
  ASSERT_EQ(deposit.minPartitionSize(minSafe, minDummy), 0);
  // 16,384 sectors: shift 5, so one unit for the dummy and two for the safe partition.
  EXPECT_EQ(minDummy, int64_t(kUnit) * 512);
  EXPECT_EQ(minSafe, 2 * int64_t(kUnit) * 512);
  drive.clearCommandLog();
  DepositParams small = request(1, 0);
  EXPECT_EQ(deposit.configure(small, &sink, true), 27);
  EXPECT_EQ(sink.events(), std::vector<std::string>{"error 27 error in deposit parameters "});
  for (const emu::CommandRecord& r : drive.commandLog())
    EXPECT_FALSE(r.cdb[0] == 0xFF && r.cdb[1] == 0x45) << "configure was sent";
  EXPECT_FALSE(port.isLocked('E'));
}

TEST_F(FixedDiskZoneTest, LunMode1LeavesLogoutNothingToDo) {
  CDepositImpl deposit(connection, params);
  ASSERT_EQ(deposit.configure(request(2, 0), nullptr, true), 0);
  CFixDiskDepositHdl handler(connection, params);
  CDeviceHandle dev(params);
  ASSERT_EQ(handler.setLunMode(dev, 1, &sink), 0);  // the re-attach runs on its own thread
  ASSERT_TRUE(sink.waitFor(1, 10s));
  EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});
  const Sector lun = connection.sent.back().subCode == 0x004C ? connection.sent.back().data : [&] {
    for (const auto& s : connection.sent)
      if (s.subCode == 0x004C) return s.data;
    return Sector();
  }();
  ASSERT_EQ(lun.size(), 16u);
  EXPECT_EQ(le32(lun, 0), 1u);
  EXPECT_EQ(le32(lun, 4), 1u);
  EXPECT_EQ(le32(lun, 8), 10u);
  EXPECT_EQ(le32(lun, 12), 10000u);
  CDeviceHandle again(params);
  EXPECT_EQ(handler.getLunMode(again), 1);

  drive.clearCommandLog();
  EXPECT_EQ(deposit.logout(nullptr, true), 0);
  for (const emu::CommandRecord& r : drive.commandLog())
    EXPECT_FALSE(r.cdb[0] == 0xFF && r.cdb[1] == 0x46) << "a switch was sent";
}

// LUN mode 1 makes enter swap the LUN first, which re-attaches the drive on a
// thread of its own; enter goes on only once the drive is back, within a
// login and within a configure's format of the safe partition alike.
TEST_F(FixedDiskZoneTest, EnterInLunMode1SwapsBackAndWaitsForTheDrive) {
  CDepositImpl deposit(connection, params);
  ASSERT_EQ(deposit.configure(request(2, 1), nullptr, true), 0);
  const uint32_t publicSectors = 5 * kUnit;
  for (const bool viaConfigure : {false, true}) {
    SCOPED_TRACE(viaConfigure ? "configure" : "login");
    {
      CFixDiskDepositHdl handler(connection, params);
      CDeviceHandle dev(params);
      ASSERT_EQ(handler.setLunMode(dev, 1, nullptr), 0);
    }  // the handler's end waits for its re-attach
    CFixDiskDepositHdl probe(connection, params);
    CDeviceHandle dev(params);
    ASSERT_EQ(probe.getLunMode(dev), 1);
    sink.clear();
    if (viaConfigure) {
      ASSERT_EQ(deposit.configure(request(2, 1), &sink, true), 0);
      EXPECT_EQ(sink.events(), (std::vector<std::string>{"formatDone", "completed"}));
      checkPartition(publicSectors, "DUMMY", ".DUMMY");
    } else {
      ASSERT_EQ(deposit.login(kPassword, &sink, true), 0);
      EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});
      EXPECT_EQ(markerAt(publicSectors), ".SAFE");
      ASSERT_EQ(deposit.logout(nullptr, true), 0);
    }
    CDeviceHandle again(params);
    EXPECT_EQ(probe.getLunMode(again), 0);
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(listener.events().empty()) << "the listener saw the drive leave";
}

TEST_F(FixedDiskZoneTest, BlocksTellTheRealPasswordLengths) {
  CDepositImpl deposit(connection, params);
  ASSERT_EQ(deposit.configure(request(2, 1), nullptr, true), 0);
  const auto last = [&](uint16_t subCode) {
    for (auto it = connection.sent.rbegin(); it != connection.sent.rend(); ++it)
      if (it->subCode == subCode) return it->data;
    return Sector();
  };
  const Sector configure = last(0x0045);
  ASSERT_EQ(configure.size(), 28u);
  EXPECT_EQ(le32(configure, 0), 2u);  // safe units
  EXPECT_EQ(le32(configure, 4), 1u);  // dummy units
  EXPECT_EQ(le32(configure, 8), std::strlen(kPassword));
  EXPECT_EQ(text(configure, 12, std::strlen(kPassword)), kPassword);
  EXPECT_EQ(last(0x0046), Sector(20, 0));  // the format left the safe partition again

  ASSERT_EQ(deposit.changePassword(kPassword, "abc", nullptr), 0);
  const Sector change = last(0x004B);
  ASSERT_EQ(change.size(), 40u);
  EXPECT_EQ(le32(change, 0), std::strlen(kPassword));
  EXPECT_EQ(le32(change, 20), 3u);
  // The detach of the login's re-attach: 1000, 40000 and boot flag 0.
  std::vector<emu::DetachRequest> detaches;
  drive.setDetachHandler([&](const emu::DetachRequest& r) {
    detaches.push_back(r);  // the one re-attach runs on this thread
    bus.handleDetach(&drive);
  });
  ASSERT_EQ(deposit.login("abc", nullptr, true), 0);
  ASSERT_EQ(detaches.size(), 1u);
  EXPECT_EQ(detaches[0].first, 1000u);
  EXPECT_EQ(detaches[0].second, 40000u);
  EXPECT_EQ(detaches[0].bootFlag, 0u);
  const Sector login = last(0x0046);
  EXPECT_EQ(le32(login, 0), 3u);
  EXPECT_EQ(text(login, 4, 3), "abc");
}

TEST(FixDiskLimitsTest, TheShiftFollowsTheDriveSize) {
  const struct {
    uint32_t sectors;
    int64_t minDummyUnits;
    int64_t minSafeUnits;
  } cases[] = {
      {15999, 2, 4},    // shift 4: 32 << 4 = 512 per unit
      {16000, 15, 29},  // exactly 16,000: shift 1, 64 per unit
      {16001, 1, 2},    // shift 5
      {524287, 15, 29}, {524288, 1, 1}, {2097152, 1, 1}, {2097153, 15, 29},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sectors);
    int64_t minSafe = 0, minDummy = 0;
    CFixDiskDepositHdl::sizeLimits(c.sectors, 32, 1000, minSafe, minDummy);
    EXPECT_EQ(minDummy, c.minDummyUnits * 1000);
    EXPECT_EQ(minSafe, c.minSafeUnits * 1000);
  }
}

class LostFixedDiskTest : public FixedDiskZoneTest {
 protected:
  LostFixedDiskTest() : FixedDiskZoneTest("0F3B27200002") {}
};

TEST_F(LostFixedDiskTest, ADriveThatNeverComesBackIsReportedThroughTheSink) {
  CDepositImpl deposit(connection, params);
  ASSERT_EQ(deposit.configure(request(2, 0), nullptr, true), 0);
  bus.setReattachBehaviour(&drive, {true, 0ms});
  ASSERT_EQ(deposit.login(kPassword, &sink, false), 0);
  ASSERT_TRUE(sink.waitFor(1, 40s));
  EXPECT_EQ(sink.events(),
            std::vector<std::string>{"reconnectFailed 8 Device didn't reconnect after detaching"});
  ASSERT_TRUE(listener.waitFor(1, 5s));
  EXPECT_EQ(listener.events()[0].what, "disconnected");
}

// The hidden area is saved before 0x0045 re-lays the drive, which erases it
// here: a page that cannot be read stops the configuration with nothing changed.
TEST_F(FixedDiskZoneTest, APageThatCannotBeSavedStopsConfigureBeforeTheRelayout) {
  CDepositImpl deposit(connection, params);
  ASSERT_EQ(CCookieImpl(connection, params).setString("Tests", "kept", "across"), 0);
  const emu::DriveState before = drive.state();
  drive.clearCommandLog();
  drive.injectFaults(emu::FaultKind::CheckCondition, 2, emu::CCommandFilter::vendor(0x0131));
  EXPECT_EQ(deposit.configure(request(2, 1), &sink, true), 4);
  EXPECT_EQ(sink.events(), std::vector<std::string>{"error 4 error in format process"});
  for (const emu::CommandRecord& r : drive.commandLog())
    EXPECT_FALSE(r.cdb[0] == 0xFF && (r.cdb[1] == 0x45 || r.cdb[1] == 0x30)) << int(r.cdb[1]);
  EXPECT_EQ(drive.state().hiddenArea, before.hiddenArea);
  EXPECT_EQ(drive.state().safeUnits, before.safeUnits);
  EXPECT_FALSE(port.isLocked('E'));

  ASSERT_EQ(deposit.configure(request(2, 1), nullptr, true), 0);
  char value[32] = {};
  uint32_t size = sizeof(value);
  EXPECT_EQ(CCookieImpl(connection, params).getString("Tests", "kept", value, size), 0);
  EXPECT_STREQ(value, "across");
}

// Every command of a configuration fails once in turn; the hidden area stays
// as it was while the drive keeps its old layout, and keeps all it held once
// the drive has the new one (which brings the new zone's hint).
TEST_F(FixedDiskZoneTest, NoFailedCommandCostsTheHiddenArea) {
  CDepositImpl deposit(connection, params);
  // The re-attach at the end is refused, so no run waits for the drive.
  drive.injectFaults(emu::FaultKind::NotDelivered, 1000000, emu::CCommandFilter::vendor(0x0048));
  ASSERT_EQ(CCookieImpl(connection, params).setString("Tests", "kept", "across"), 0);
  const emu::DriveState before = drive.state();
  connection.failCommands(0, 0, 0);
  deposit.configure(request(2, 1), nullptr, true);
  const int commands = connection.commands();
  ASSERT_GT(commands, 50);
  for (int count : {1, 2}) {
    for (int k = 1; k <= commands; ++k) {
      SCOPED_TRACE("command " + std::to_string(k) + " fails " + std::to_string(count) + " time(s)");
      drive.restore(before);
      connection.failCommands(k, count, pdk::kConnectionFailed);
      deposit.configure(request(2, 1), nullptr, true);
      connection.failCommands(0, 0, 0);
      if (drive.state().safeUnits == before.safeUnits) {
        EXPECT_EQ(drive.state().hiddenArea, before.hiddenArea);
      } else {
        EXPECT_EQ(storedString(connection, params, "Tests", "kept"), "across");
      }
      EXPECT_FALSE(port.isLocked('E'));
      if (HasFailure()) return;
    }
  }
}

}  // namespace
