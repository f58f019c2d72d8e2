// The privacy zone of a removable-media drive against the emulated drive:
// configure, login, logout, the password and its hint, the size limits, and
// the hidden area that must survive every configuration, even a failed one.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "98DepositHandler.h"
#include "ConnectionSingleton.h"
#include "CookieImpl.h"
#include "DepositImpl.h"
#include "DepositSink.h"
#include "DriveFixture.h"
#include "LockProbe.h"
#include "OSKind.h"
#include "PDKMutex.h"
#include "SdkEnvironment.h"
#include "StoreFixture.h"
#include "TestClock.h"
#include "TraceCapture.h"
#include "VolumeCheck.h"
#include "sdk/PDKSDK.h"

namespace {

// The SDK lives for the whole program (a fixed disk's re-attach needs its
// detection), playing NT 4, whose detection needs no registry.
const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SdkEnvironment(pdk::kOSWinNT4));

constexpr const char* kSerial = "0F3B27000042";
constexpr const char* kPassword = "open sesame";
constexpr uint32_t kSectors = 8192;  // 4 MB
constexpr uint32_t kUnit = 1024;     // sectors per safe-size unit

emu::DriveConfig zoneDrive(const char* revision) {
  emu::DriveConfig c = smallDrive(kSectors);
  c.revision = revision;
  c.allocationUnitSectors = kUnit;
  c.commandLogCapacity = 100000;
  // The drive erases its hidden pages on a re-layout: only the SDK's backup
  // keeps the store across a configuration.
  c.clearHiddenOnRelayout = true;
  return c;
}

DepositParams request(int32_t safeBytes, const char* hint = "the usual") {
  DepositParams p;
  std::strcpy(p.password, kPassword);
  std::strcpy(p.hint, hint);
  std::strcpy(p.publicLabel, "TOVIK");
  p.safeBytes = safeBytes;
  return p;
}

// The drive's presented partition, read as the host reads it.
struct PresentedDisk {
  IConnection& connection;
  DeviceParams params;
  Sector read(uint32_t lba) {
    Sector s(512);
    CDeviceHandle h(params);
    EXPECT_EQ(connection.read10(h, s.data(), lba, 1, 10000), 0);
    return s;
  }
  uint32_t sectors() {
    CDeviceHandle h(params);
    uint32_t kb = 0;
    EXPECT_EQ(connection.readCapacity(h, &kb), 0);
    return kb * 2;
  }
};

class RemovableZoneTest : public ::testing::Test {
 protected:
  explicit RemovableZoneTest(const char* revision = "3.10")
      : drive(zoneDrive(revision)), connection(CConnectionSingleton::instance()) {
    port.attach('E', &drive);
    pdk::setDevicePort(&port);
    params = DeviceParams::forLetter('E');
    pdk::setText(params.revision, revision);
    pdk::setText(params.serial, kSerial);
    params.removable = 1;
  }
  ~RemovableZoneTest() override { pdk::setDevicePort(nullptr); }

  // How often the drive saw a vendor sub-code.
  int vendorCount(uint16_t subCode) const {
    int n = 0;
    for (const emu::CommandRecord& r : drive.commandLog())
      n += r.cdb.size() > 2 && r.cdb[0] == 0xFF && (r.cdb[1] | (r.cdb[2] << 8)) == subCode;
    return n;
  }
  bool inSafe() {
    bool in = false;
    EXPECT_EQ(deposit.isInSafePartition(in), 0);
    return in;
  }
  std::string hint() {
    char text[64] = {};
    uint32_t size = sizeof(text);
    EXPECT_EQ(deposit.getPasswordHint(text, size), 0);
    return text;
  }
  // fsck.fat and mtools on the volume the drive presents now.
  void checkPresentedVolume(const std::string& label) {
    PresentedDisk disk{connection, params};
    const uint32_t start = le32(disk.read(0), 454);
    Tolerated tolerated;
    tolerated.labelWithoutEntry = true;
    tolerated.labelPadding = label.size() < 11;
    checkVolume(disk, disk.sectors(), start, label, "FAT12", tolerated);
  }

  emu::CEmulatedDrive drive;
  emu::CEmuDevicePort port;
  ScriptedConnection connection;
  DeviceParams params;
  CDepositImpl deposit{connection, params};
  DepositSink sink;
};

TEST_F(RemovableZoneTest, ConfigureFormatsTheVolumesAndKeepsTheStoreAndTheHint) {
  for (const int32_t safeBytes : {0, 1024 * 1024}) {
    SCOPED_TRACE(safeBytes);
    sink.clear();
    ASSERT_EQ(CCookieImpl(connection, params).setString("Tests", "kept", "across"), 0);
    drive.clearCommandLog();
    ASSERT_EQ(deposit.configure(request(safeBytes), &sink, true), 0);
    EXPECT_EQ(sink.events(), std::vector<std::string>{"formatDone"});  // sync: no completion
    EXPECT_EQ(vendorCount(0x0043), 1);
    EXPECT_FALSE(port.isLocked('E'));

    int64_t publicBytes = 0, safe = 0, dummy = 0;
    ASSERT_EQ(deposit.getPartitionSizes(publicBytes, safe, dummy), 0);
    EXPECT_EQ(safe, safeBytes);
    EXPECT_EQ(publicBytes + safe, int64_t(kSectors) * 512);
    bool exists = true;
    ASSERT_EQ(deposit.safePartitionExist(exists), 0);
    EXPECT_EQ(exists, safeBytes != 0);
    EXPECT_FALSE(inSafe());

    char value[32] = {};
    uint32_t size = sizeof(value);
    EXPECT_EQ(CCookieImpl(connection, params).getString("Tests", "kept", value, size), 0);
    EXPECT_STREQ(value, "across");
    EXPECT_EQ(hint(), "the usual");

    if (checkersPresent()) {
      checkPresentedVolume("TOVIK");
      if (safeBytes != 0) {
        ASSERT_EQ(deposit.login(kPassword, nullptr, true), 0);
        checkPresentedVolume("TOVIK");
        ASSERT_EQ(deposit.logout(nullptr, true), 0);
      }
    }
  }
}

TEST_F(RemovableZoneTest, LoginAndLogoutFollowTheDrivesState) {
  ASSERT_EQ(deposit.configure(request(1024 * 1024), nullptr, true), 0);

  EXPECT_EQ(deposit.login("wrong", &sink, true), 4);  // the drive refuses the password
  EXPECT_FALSE(inSafe());
  EXPECT_TRUE(sink.events().empty());

  EXPECT_EQ(deposit.login(kPassword, &sink, true), 0);
  EXPECT_TRUE(inSafe());
  EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});
  const uint8_t* kept = static_cast<CDepositHandler&>(deposit.selectHandler()).password();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(kept), 16),
            std::string(kPassword) + std::string(16 - std::strlen(kPassword), '\0'));

  const int switches = vendorCount(0x0042);
  sink.clear();
  EXPECT_EQ(deposit.login(kPassword, &sink, true), 0);  // already there
  EXPECT_EQ(vendorCount(0x0042), switches);
  EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});

  EXPECT_EQ(deposit.logout(&sink, true), 0);
  EXPECT_FALSE(inSafe());
  EXPECT_EQ(deposit.logout(&sink, true), 0);  // already public
  EXPECT_EQ(vendorCount(0x0042), switches + 1);
  EXPECT_FALSE(port.isLocked('E'));

  ASSERT_EQ(deposit.configure(request(0), nullptr, true), 0);
  EXPECT_EQ(deposit.login(kPassword, &sink, true), 13);
  EXPECT_EQ(deposit.logout(&sink, true), 13);
}

// Whichever write of the hint's page fails, the drive keeps a hint, and
// configure answers 0 only when the new one is on it.
TEST_F(RemovableZoneTest, AHintThatCannotBeWrittenLeavesTheOldOneAndFailsConfigure) {
  for (const int skip : {0, 1}) {
    SCOPED_TRACE("writes let through: " + std::to_string(skip));
    ASSERT_EQ(deposit.configure(request(0, "old hint"), nullptr, true), 0);
    // Armed once the hidden area is back, so only the hint's writes meet it.
    connection.beforeVendorOut = [&](uint16_t subCode) {
      if (subCode != 0x0043) return;
      for (uint16_t page = 1; page <= 31; ++page)
        connection.failWrites(page, 1, pdk::kConnectionFailed, skip);
    };
    sink.clear();
    const int rc = deposit.configure(request(0, "new hint"), &sink, true);
    connection.beforeVendorOut = nullptr;
    for (uint16_t page = 1; page <= 31; ++page) connection.failWrites(page, 0, 0);
    if (rc == 0) {
      EXPECT_EQ(hint(), "new hint");
      EXPECT_EQ(sink.events(), std::vector<std::string>{"formatDone"});
    } else {
      EXPECT_EQ(rc, pdk::kConnectionFailed);
      EXPECT_EQ(hint(), "old hint");
      EXPECT_EQ(sink.events(), std::vector<std::string>{"error 3 Failed to format device"});
    }
    if (skip == 0) {
      EXPECT_NE(rc, 0) << "the one write of the hint was refused";
    }
  }
}

TEST_F(RemovableZoneTest, ChangingThePasswordRewritesTheHint) {
  ASSERT_EQ(deposit.configure(request(1024 * 1024), nullptr, true), 0);
  EXPECT_EQ(deposit.changePassword(kPassword, "new secret", "think harder"), 0);
  EXPECT_EQ(hint(), "think harder");
  EXPECT_EQ(deposit.changePassword("new secret", "seventeen chars!!", "x"), 27);
  EXPECT_EQ(deposit.changePassword("wrong", "other", "lost hint"), 4);
  EXPECT_EQ(hint(), "think harder");
  EXPECT_EQ(deposit.login(kPassword, nullptr, true), 4);
  EXPECT_EQ(deposit.login("new secret", nullptr, true), 0);
}

TEST_F(RemovableZoneTest, TooSmallASafePartitionIsRefusedBeforeAnythingChanges) {
  drive.clearCommandLog();
  EXPECT_EQ(deposit.configure(request(100000), &sink, true), 27);
  EXPECT_EQ(sink.events(), std::vector<std::string>{"error 27 error in deposit parameters "});
  EXPECT_EQ(vendorCount(0x0041), 0);
  DepositParams longPassword = request(1024 * 1024);
  std::memcpy(longPassword.password, "seventeen chars!!", 17);  // no room for its end
  EXPECT_EQ(deposit.configure(longPassword, nullptr, true), 27);
  EXPECT_EQ(vendorCount(0x0041), 0);
}

// Gets through the mutex once, on the probe's thread, without keeping it.
std::function<int()> passThrough(CPDKMutex& mutex) {
  return [&mutex] {
    const int rc = mutex.lock();
    if (rc == 0) mutex.unlock();
    return rc;
  };
}

// The hidden area is read page by page before the drive re-lays its
// partitions and written back after the format, with the store's named mutex
// held all along, so no other store writes a page that the write-back would
// overwrite.
TEST_F(RemovableZoneTest, TheHiddenAreaIsSavedBeforeTheRelayoutAndWrittenBackUnderTheMutex) {
  ASSERT_EQ(CCookieImpl(connection, params).setString("Tests", "kept", "across"), 0);
  CPDKMutex named;
  ASSERT_EQ(named.create(CCookieImpl::kMutexName, false), 0);
  std::unique_ptr<CLockProbe> probe;
  bool shutOut = false;
  connection.beforeVendorOut = [&](uint16_t subCode) {
    if (subCode != 0x0041 || probe) return;
    probe = std::make_unique<CLockProbe>(passThrough(named), [] { return 0; });
    shutOut = !probe->acquiredWithin(kShutOutWindow);
  };
  drive.clearCommandLog();
  ASSERT_EQ(deposit.configure(request(1024 * 1024), nullptr, true), 0);
  connection.beforeVendorOut = nullptr;
  ASSERT_TRUE(probe);
  EXPECT_TRUE(shutOut) << "another store could write while the layout changed";
  EXPECT_TRUE(probe->acquiredWithin(kAcquireLimit));
  probe.reset();

  // Reads of every page (try word 0), then the re-layout, then every page back.
  std::vector<std::string> calls;
  for (const emu::CommandRecord& r : drive.commandLog()) {
    if (r.cdb[0] != 0xFF) continue;
    const int subCode = r.cdb[1] | (r.cdb[2] << 8);
    if (subCode == 0x0131 && calls.size() < 40)
      calls.push_back("read " + std::to_string(r.cdb[3]) + " try " + std::to_string(r.cdb[5]));
    if (subCode == 0x0041) calls.push_back("configure");
    if (subCode == 0x0130 && calls.size() < 80)
      calls.push_back("write " + std::to_string(r.cdb[3]));
  }
  std::vector<std::string> expected;
  for (int page = 0; page < 32; ++page)
    expected.push_back("read " + std::to_string(page) + " try 0");
  expected.push_back("configure");
  for (int page = 0; page < 32; ++page) expected.push_back("write " + std::to_string(page));
  ASSERT_GE(calls.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + expected.size()), expected);

  char value[32] = {};
  uint32_t size = sizeof(value);
  EXPECT_EQ(CCookieImpl(connection, params).getString("Tests", "kept", value, size), 0);
  EXPECT_STREQ(value, "across");
}

// A page the drive will not give up stops the configuration before the
// layout changes: the drive is as it was, and the caller learns why.
TEST_F(RemovableZoneTest, APageThatCannotBeSavedStopsConfigureBeforeTheRelayout) {
  ASSERT_EQ(deposit.configure(request(1024 * 1024), nullptr, true), 0);
  ASSERT_EQ(CCookieImpl(connection, params).setString("Tests", "kept", "across"), 0);
  const emu::DriveState before = drive.state();
  drive.clearCommandLog();
  // Both tries of the first page fail.
  drive.injectFaults(emu::FaultKind::CheckCondition, 2, emu::CCommandFilter::vendor(0x0131));
  EXPECT_EQ(deposit.configure(request(0), &sink, true), 4);
  EXPECT_EQ(sink.events(), std::vector<std::string>{"error 4 Failed to format device"});
  EXPECT_EQ(vendorCount(0x0041), 0);
  EXPECT_EQ(vendorCount(0x0130), 0);
  EXPECT_EQ(drive.state().safeUnits, before.safeUnits);
  EXPECT_EQ(drive.state().hiddenArea, before.hiddenArea);
  EXPECT_FALSE(port.isLocked('E'));
  CPDKMutex named;
  ASSERT_EQ(named.create(CCookieImpl::kMutexName, false), 0);
  CLockProbe probe(passThrough(named), [] { return 0; });
  EXPECT_TRUE(probe.acquiredWithin(kAcquireLimit)) << "the mutex stayed held";
}

class OldFirmwareZoneTest : public RemovableZoneTest {
 protected:
  OldFirmwareZoneTest() : RemovableZoneTest("2.40") {}
};

TEST_F(OldFirmwareZoneTest, FirmwareBefore25HasNoPrivacyZone) {
  bool supported = true;
  EXPECT_EQ(deposit.isDepositSupported(supported), 0);
  EXPECT_FALSE(supported);
  EXPECT_EQ(deposit.configure(request(1024 * 1024), nullptr, true), 15);
  EXPECT_EQ(deposit.login(kPassword, nullptr, true), 15);
  bool in = false;
  EXPECT_EQ(deposit.isInSafePartition(in), 15);
}

class Firmware27ZoneTest : public RemovableZoneTest {
 protected:
  Firmware27ZoneTest() : RemovableZoneTest("2.70") {}
};

TEST_F(Firmware27ZoneTest, HasTheZoneButNotThePasswordChange) {
  int64_t minSafe = 0, minDummy = 1;
  EXPECT_EQ(deposit.minPartitionSize(minSafe, minDummy), 0);
  EXPECT_EQ(minSafe, 409600);
  EXPECT_EQ(minDummy, 0);
  ASSERT_EQ(deposit.configure(request(512 * 1024), nullptr, true), 0);
  EXPECT_EQ(deposit.changePassword(kPassword, "other", nullptr), 15);
}

// On 98 SE and ME a switch is done when the system can use the drive's root
// again; a drive without letters can never be seen ready.
TEST_F(RemovableZoneTest, On98SeTheRootOfTheDriveTellsItIsReady) {
  setOSKindForTesting(pdk::kOSWin98SE);
  CDepositImpl on98(connection, params);
  ASSERT_EQ(on98.configure(request(1024 * 1024), nullptr, true), 0);
  EXPECT_EQ(vendorCount(0x0043), 0);  // that system is not told
  drive.setNotReady(3);               // the first looks at the root fail
  EXPECT_EQ(on98.login(kPassword, &sink, true), 0);
  EXPECT_TRUE(inSafe());

  TraceCapture trace;
  DeviceParams noLetters = params;
  noLetters.driveMask = 0;
  C98DepositHandler handler(connection, noLetters);
  CDeviceHandle dev(params);
  EXPECT_FALSE(handler._deviceIsReady(dev));
  EXPECT_EQ(trace.count("ERROR: C98DepositHandler::_deviceIsReady - device mask 0\n"), 1u);
  setOSKindForTesting(pdk::kOSWinNT4);
}

// The blocks as the drive receives them.
TEST_F(RemovableZoneTest, VendorBlocksCarryTheirFieldsWhereTheDriveReadsThem) {
  const auto last = [&](uint16_t subCode) {
    for (auto it = connection.sent.rbegin(); it != connection.sent.rend(); ++it)
      if (it->subCode == subCode) return it->data;
    return Sector();
  };
  const Sector password = [] {
    Sector p(16, 0);
    std::memcpy(p.data(), kPassword, std::strlen(kPassword));
    return p;
  }();
  ASSERT_EQ(deposit.configure(request(1024 * 1024), nullptr, true), 0);
  const Sector configure = last(0x0041);
  ASSERT_EQ(configure.size(), 20u);
  EXPECT_EQ(le32(configure, 0), 1024u * 1024 / 512 / kUnit);  // units of the safe size
  EXPECT_EQ(Sector(configure.begin() + 4, configure.end()), password);
  EXPECT_EQ(last(0x0042), Sector(16, 0));  // the format ends back in the public partition

  ASSERT_EQ(deposit.login(kPassword, nullptr, true), 0);
  EXPECT_EQ(last(0x0042), password);
  ASSERT_EQ(deposit.logout(nullptr, true), 0);
  EXPECT_EQ(last(0x0042), Sector(16, 0));

  ASSERT_EQ(deposit.changePassword(kPassword, "b", nullptr), 0);
  const Sector change = last(0x004B);
  ASSERT_EQ(change.size(), 40u);
  EXPECT_EQ(le32(change, 0), 16u);  // this handler always tells the full field
  EXPECT_EQ(Sector(change.begin() + 4, change.begin() + 20), password);
  EXPECT_EQ(le32(change, 20), 16u);
  EXPECT_EQ(change[24], 'b');
}

// A sink that throws changes nothing of the operation it watches.
TEST_F(RemovableZoneTest, ASinkThatThrowsIsIgnored) {
  class Throwing : public DepositSink {
    void onFormatDone() override {
      DepositSink::onFormatDone();
      throw std::runtime_error("sink failure");
    }
  } throwing;
  EXPECT_EQ(deposit.configure(request(0), &throwing, false), 0);
  EXPECT_EQ(throwing.events(), (std::vector<std::string>{"formatDone", "completed"}));
}

// Every command of a configuration fails once in turn; whatever the outcome,
// the hidden area is on the drive as it was and no volume stays locked.
TEST_F(RemovableZoneTest, NoFailedCommandCostsTheHiddenArea) {
  pdkos::CTestClock clock;  // the readiness waits pass at once
  pdkos::setClock(&clock);
  ASSERT_EQ(CCookieImpl(connection, params).setString("Tests", "kept", "across"), 0);
  const emu::DriveState before = drive.state();
  connection.failCommands(0, 0, 0);
  ASSERT_EQ(deposit.configure(request(1024 * 1024), nullptr, true), 0);
  const int commands = connection.commands();
  ASSERT_GT(commands, 100);

  const struct {
    int count;
    int code;
  } faults[] = {{1, pdk::kConnectionFailed}, {1, pdk::kDeviceInternalError}, {2, pdk::kConnectionFailed}};
  for (const auto& fault : faults) {
    for (int k = 1; k <= commands; ++k) {
      SCOPED_TRACE("command " + std::to_string(k) + " fails " + std::to_string(fault.count) +
                   " time(s) with " + std::to_string(fault.code));
      drive.restore(before);
      connection.failCommands(k, fault.count, fault.code);
      const int rc = deposit.configure(request(1024 * 1024, "new hint"), nullptr, true);
      connection.failCommands(0, 0, 0);
      EXPECT_FALSE(port.isLocked('E'));
      if (rc != 0) {
        EXPECT_EQ(drive.state().hiddenArea, before.hiddenArea);
      } else {
        EXPECT_EQ(storedString(connection, params, "Tests", "kept"), "across");
      }
      if (HasFailure()) break;
    }
  }
  pdkos::setClock(nullptr);
}

}  // namespace
