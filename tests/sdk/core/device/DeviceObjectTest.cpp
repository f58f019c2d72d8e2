// The device object as the application holds it: a CPDK attached to a drive of
// the SDK's table, forwarding to the drive's table object and following it.
// Most tests put the drive into the table as detection would report it; those
// that need the drive to leave and come back run detection for real.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Connection.h"
#include "ConnectionSingleton.h"
#include "DepositSink.h"
#include "DeviceHandle.h"
#include "DeviceManager.h"
#include "DevicePoll.h"
#include "DriveFixture.h"
#include "EmuDevicePort.h"
#include "EmulatedBus.h"
#include "EmulatedDrive.h"
#include "OSKind.h"
#include "PDKLockGuard.h"
#include "ReconnectJob.h"
#include "TraceCapture.h"
#include "detection/RecordingListener.h"
#include "sdk/PDKSDK.h"
#include "sdk/core/PDKSDK.h"

namespace {

// An observer that only has to exist.
class CountingObserverForIds : public IPDKObserver {
 public:
  void update(CPDKImpl&, const DeviceParams&) override { ++updates; }
  int updates = 0;
};

using namespace std::chrono_literals;

class SdkEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setOSKindForTesting(pdk::kOSWinNT4);
    PDKSDK_init();
    CConnectionSingleton::instance();
  }
  void TearDown() override {
    PDKSDK_fini();
    setOSKindForTesting(kOSKindNotOverridden);
  }
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new SdkEnvironment);

constexpr const char* kPassword = "open sesame";

emu::DriveConfig driveConfig(const char* revision, bool removable = true, uint32_t sectors = 8192) {
  emu::DriveConfig c = smallDrive(sectors);
  c.revision = revision;
  c.removable = removable;
  c.allocationUnitSectors = 1024;
  c.commandLogCapacity = 100000;
  return c;
}

int vendorCount(const emu::CEmulatedDrive& drive, uint16_t subCode) {
  int n = 0;
  for (const emu::CommandRecord& r : drive.commandLog())
    n += emu::CCommandFilter::vendor(subCode).matches(r.cdb.data(), r.cdb.size()) ? 1 : 0;
  return n;
}

// The WRITE(10) transfers the drive saw: first sector and count.
std::vector<std::pair<uint32_t, uint32_t>> writes(const emu::CEmulatedDrive& drive) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  for (const emu::CommandRecord& r : drive.commandLog()) {
    if (r.cdb.size() < 10 || r.cdb[0] != 0x2A) continue;
    const uint32_t lba = (r.cdb[2] << 24) | (r.cdb[3] << 16) | (r.cdb[4] << 8) | r.cdb[5];
    out.emplace_back(lba, (r.cdb[7] << 8) | r.cdb[8]);
  }
  return out;
}

void emptyTable() {
  CPDKLockGuard sdk(&CPDKSDK::sdkLock());
  for (int id = 0; id < CDeviceManager::kSlotCount; ++id) {
    if (CPDKImpl* s = CPDKSDK::instance().deviceManager().slot(id))
      s->setStatus(pdk::kNotConnected);
  }
}

// A drive routed to its letters and put into the table as detection reports it.
class DeviceTest : public ::testing::Test {
 protected:
  explicit DeviceTest(emu::DriveConfig config = driveConfig("3.10")) : drive(config) {
    pdk::setDevicePort(&port);
  }
  ~DeviceTest() override {
    emptyTable();
    pdk::setDevicePort(nullptr);
  }

  // Reports the drive on these letters; returns the table's record of it.
  DeviceParams arrive(const std::string& letters) {
    DeviceParams p = DeviceParams::forLetter(letters[0]);
    for (char l : letters) {
      port.attach(l, &drive);
      p.driveMask |= pdk::letterBit(l);
    }
    p.removable = drive.config().removable ? 1 : 0;
    EXPECT_EQ(CConnectionSingleton::instance().inquireAndRecognize(p, true), 0);
    EXPECT_EQ(p.status, 0);
    CPDKSDK::instance().deviceArrival(p);
    DeviceParams held;
    EXPECT_TRUE(CPDKSDK::instance().findByLetter(letters[0], &held));
    return held;
  }
  void leave(char letter) { CPDKSDK::instance().deviceRemoval(DeviceParams::forLetter(letter)); }

  emu::CEmulatedDrive drive;
  emu::CEmuDevicePort port;
};

TEST_F(DeviceTest, CapacityIsAskedOfTheDriveOnce) {
  const struct {
    const char* revision;
    bool removable;
    uint16_t vendorSubCode;  // 0: READ CAPACITY
  } cases[] = {{"2.40", true, 0}, {"2.70", true, 0x0040}, {"3.10", false, 0x0044}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.revision);
    emu::CEmulatedDrive d(driveConfig(c.revision, c.removable, 4 * 2048));
    port.attach('E', &d);
    DeviceParams p = DeviceParams::forLetter('E');
    p.removable = c.removable ? 1 : 0;
    ASSERT_EQ(CConnectionSingleton::instance().inquireAndRecognize(p, true), 0);
    CPDKSDK::instance().deviceArrival(p);
    CPDK pdk;
    ASSERT_TRUE(pdk.attachDevice('E'));
    d.clearCommandLog();
    int32_t first = 0, second = 0;
    ASSERT_EQ(pdk.getCapacity(first), 0);
    CPDK other;  // a second handle finds the value in the table
    ASSERT_TRUE(other.attachDevice('E'));
    ASSERT_EQ(other.getCapacity(second), 0);
    EXPECT_EQ(first, 4 * 2048 * 512);
    EXPECT_EQ(second, first);
    int commands = 0;
    for (const emu::CommandRecord& r : d.commandLog())
      commands +=
          c.vendorSubCode == 0
              ? r.cdb[0] == 0x25
              : emu::CCommandFilter::vendor(c.vendorSubCode).matches(r.cdb.data(), r.cdb.size());
    EXPECT_EQ(commands, 1);
    pdk.detachDevice();
    other.detachDevice();
    leave('E');
  }
}

TEST_F(DeviceTest, AFailedCapacityReadIsNotKept) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  drive.injectFaults(emu::FaultKind::CheckCondition, 1);
  int32_t bytes = 0;
  EXPECT_EQ(pdk.getCapacity(bytes), pdk::kDeviceInternalError);
  EXPECT_EQ(pdk.params().capacity, -1);
  ASSERT_EQ(pdk.getCapacity(bytes), 0);
  EXPECT_EQ(bytes, 8192 * 512);
}

class LargeDriveTest : public DeviceTest {
 protected:
  // 4 GB of flash: more bytes than a signed 32-bit capacity holds.
  LargeDriveTest() : DeviceTest(driveConfig("3.10", false, 8u * 1024 * 1024)) {}
};

TEST_F(LargeDriveTest, ACapacityBeyondTwoGigabytesIsAnErrorNotAWrappedNumber) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  int32_t bytes = 12345;
  EXPECT_EQ(pdk.getCapacity(bytes), pdk::kGeneralError);
  EXPECT_EQ(bytes, 12345);
}

TEST_F(DeviceTest, SerialRevisionAndRemovableComeFromTheRecord) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  char serial[32] = {};
  ASSERT_EQ(pdk.getSerial(serial, sizeof(serial)), 0);
  EXPECT_STREQ(serial, "0F3B27000042");
  char cut[5] = {'x', 'x', 'x', 'x', 'x'};
  ASSERT_EQ(pdk.getSerial(cut, sizeof(cut)), 0);
  EXPECT_STREQ(cut, "0F3B");  // cut, and terminated

  char revision[8] = {};
  uint32_t length = 2;
  EXPECT_EQ(pdk.getRevision(revision, length), pdk::kBufferTooSmall);
  EXPECT_EQ(length, 5u);
  length = sizeof(revision);
  ASSERT_EQ(pdk.getRevision(revision, length), 0);
  EXPECT_STREQ(revision, "3.10");

  int removable = -1;
  ASSERT_EQ(pdk.isRemovable(removable), 0);
  EXPECT_EQ(removable, 1);
}

TEST(DriveLettersTest, TextOfAMask) {
  const struct {
    uint32_t mask;
    uint32_t length;
    int result;
    uint32_t needed;
    std::string text;
  } cases[] = {
      {0x14, 9, 0, 9, std::string("C:\\\0E:\\\0\0", 9)},
      {0x14, 8, pdk::kBufferTooSmall, 9, std::string(8, '\0')},
      {0x1, 16, 0, 5, std::string("A:\\\0\0", 5)},
      {0x0, 16, pdk::kBadDriveLetter, 16, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    uint32_t length = c.length;
    EXPECT_EQ(CPDKImpl::lettersText(c.mask, buffer, length), c.result);
    EXPECT_EQ(length, c.needed);
    EXPECT_EQ(std::string(buffer, c.text.size()), c.text);
  }
}

TEST_F(DeviceTest, AHandleFollowsItsDrivesLettersAndAStaleRecordCannotAttach) {
  const DeviceParams first = arrive("E");
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(first));
  const DeviceParams both = arrive("EF");  // a second volume of the same drive
  EXPECT_EQ(both.driveMask, pdk::letterBit('E') | pdk::letterBit('F'));

  char text[16] = {};
  uint32_t length = sizeof(text);
  ASSERT_EQ(pdk.getDriveLetters(text, length), 0);
  EXPECT_EQ(std::string(text, length), std::string("E:\\\0F:\\\0\0", 9));

  CPDK late;
  EXPECT_FALSE(late.attachDevice(first)) << "the letters changed since the record was made";
  EXPECT_FALSE(late.isValid());
  EXPECT_EQ(late.getDriveLetters(text, length), pdk::kNotConnected);
  EXPECT_TRUE(late.attachDevice(both));
  EXPECT_TRUE(late.isValid());
}

// Ids outside the table are refused on the way in and harmless on the way out.
TEST_F(DeviceTest, IdsOutsideTheTableAreRefused) {
  const DeviceParams present = arrive("E");
  CountingObserverForIds observer;
  for (const int id : {-1, 128}) {
    SCOPED_TRACE(id);
    DeviceParams p = present;
    p.id = id;
    CPDK pdk;
    EXPECT_FALSE(pdk.attachDevice(p));
    EXPECT_FALSE(pdk.isValid());
    EXPECT_EQ(CPDKSDK::instance().attachObserver(p, &observer), nullptr);
    CPDKSDK::instance().detachObserver(id, &observer);
  }
  CPDK pdk;
  EXPECT_TRUE(pdk.attachDevice(present));
}

TEST_F(DeviceTest, ARemovedDriveAnswersNotConnectedUntilAttachedAgain) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  ASSERT_TRUE(pdk.isValid());
  leave('E');
  arrive("E");  // back, but the handle does not attach by itself

  char buffer[64] = {};
  uint32_t length = sizeof(buffer);
  int32_t bytes = 0;
  int flag = 0;
  bool yes = false;
  int64_t a = 0, b = 0, c = 0;
  int value = 0;
  const std::vector<std::pair<const char*, int>> answers = {
      {"capacity", pdk.getCapacity(bytes)},
      {"serial", pdk.getSerial(buffer, sizeof(buffer))},
      {"revision", pdk.getRevision(buffer, length)},
      {"probe", pdk.probeAccess()},
      {"eject", pdk.ejectDevice(flag)},
      {"letters", pdk.getDriveLetters(buffer, length)},
      {"visible", pdk.getVisiblePartition('E', flag)},
      {"removable", pdk.isRemovable(flag)},
      {"protected", pdk.isWriteProtected(flag)},
      {"protect", pdk.updateWriteProtected(true, nullptr, 1)},
      {"image", pdk.writeImage("some.img", 0)},
      {"zone supported", pdk.deposit().isDepositSupported(yes)},
      {"zone sizes", pdk.deposit().getPartitionSizes(a, b, c)},
      {"login", pdk.deposit().login(kPassword, nullptr, true)},
      {"cookie set", pdk.cookies().setInt("S", "N", 1)},
      {"cookie get", pdk.cookies().getInt("S", "N", value)},
      {"cookie list", pdk.cookies().enumSections(buffer, length)},
  };
  for (const auto& [what, code] : answers) EXPECT_EQ(code, pdk::kNotConnected) << what;
  EXPECT_FALSE(pdk.isValid());
  EXPECT_EQ(drive.state().configBlock[8] & 0x02, 0);

  ASSERT_TRUE(pdk.attachDevice('E'));
  EXPECT_EQ(pdk.getCapacity(bytes), 0);
}

TEST_F(DeviceTest, CookiesAndThePrivacyZoneThroughTheHandle) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  ASSERT_EQ(pdk.cookies().setString("Ovrin App", "LabelStr", "Holiday"), 0);
  char label[32] = {};
  uint32_t size = sizeof(label);
  ASSERT_EQ(pdk.cookies().getString("Ovrin App", "LabelStr", label, size), 0);
  EXPECT_STREQ(label, "Holiday");
  EXPECT_EQ(pdk.cookies().enumCookies("Ovrin App", label, size), pdk::kNotSupported);

  DepositParams zone;
  std::strcpy(zone.password, kPassword);
  std::strcpy(zone.hint, "the usual");
  zone.safeBytes = 1024 * 1024;
  ASSERT_EQ(pdk.deposit().configure(zone, nullptr, true), 0);
  int state = -1;
  ASSERT_EQ(pdk.getVisiblePartition('E', state), 0);
  EXPECT_EQ(state, 0);
  ASSERT_EQ(pdk.deposit().login(kPassword, nullptr, true), 0);
  ASSERT_EQ(pdk.getVisiblePartition('E', state), 0);
  EXPECT_EQ(state, 2);
  ASSERT_EQ(pdk.deposit().logout(nullptr, true), 0);
  // Configuring kept the hidden area: the cookie is still there.
  size = sizeof(label);
  ASSERT_EQ(pdk.cookies().getString("Ovrin App", "LabelStr", label, size), 0);
  EXPECT_STREQ(label, "Holiday");
}

// Detection moving the drive's letters must never pull the cookie store out
// from under a thread that is using it.
TEST_F(DeviceTest, CookiesKeepWorkingWhileDetectionChangesTheDrive) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  ASSERT_EQ(pdk.cookies().setInt("S", "N", 42), 0);
  port.attach('F', &drive);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    for (int i = 0; i < 20; ++i) {
      int value = 0;
      const int rc = pdk.cookies().getInt("S", "N", value);
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(value, 42);
    }
    done = true;
  });
  DeviceParams p = DeviceParams::forLetter('E');
  for (int i = 0; !done; ++i) {
    // Alternately one and two volumes: each time the slot's letters change.
    p = DeviceParams::forLetter('E');
    p.driveMask |= (i % 2 == 0) ? pdk::letterBit('F') : 0;
    ASSERT_EQ(CConnectionSingleton::instance().inquireAndRecognize(p, true), 0);
    CPDKSDK::instance().deviceArrival(p);
    std::this_thread::sleep_for(1ms);
  }
  reader.join();
  EXPECT_TRUE(pdk.isValid());
}

// A reconnect made while detection knew one volume of the drive hides the
// removal of every volume the drive shows by the time it leaves.
TEST_F(DeviceTest, AReconnectHidesTheRemovalOfEveryVolumeOfItsDrive) {
  const DeviceParams first = arrive("E");
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("EF")));
  std::mutex mutex;
  std::condition_variable told;
  bool detached = false;
  drive.setDetachHandler([&](const emu::DetachRequest&) {
    std::lock_guard<std::mutex> lock(mutex);
    detached = true;
    told.notify_all();
  });
  CDeviceHandle handle(first);
  CReconnectJob job(first, handle, 1, 0, 0);  // never comes back: 1 s, not reported
  std::thread reconnect([&] { EXPECT_EQ(CPDKSDK::instance().transparentReconnect(job), 8); });
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(told.wait_for(lock, 5s, [&] { return detached; }));
  }
  leave('F');
  leave('E');
  reconnect.join();
  drive.setDetachHandler({});
  EXPECT_TRUE(pdk.isValid()) << "a volume's removal was reported during the reconnect";
}

TEST_F(DeviceTest, CopyAssignmentIsRefusedWithATrace) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  CPDK other;
  TraceCapture trace;
  other = pdk;
  EXPECT_EQ(trace.count("CPDK::operator= don't call this operator\n"), 1u);
  EXPECT_FALSE(other.isValid());
  EXPECT_TRUE(pdk.isValid());
}

TEST_F(DeviceTest, EjectRefusedBySystemIsNoError) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  // The system knows no device with this serial (natively there is none at all).
  TraceCapture trace;
  int succeeded = -1;
  EXPECT_EQ(pdk.ejectDevice(succeeded), 0);
  EXPECT_EQ(succeeded, 0);
  EXPECT_EQ(trace.count("WARNING CPDKImpl::ejectDevice-failed to eject device id 0\n"), 1u);

  setOSKindForTesting(pdk::kOSWinME);
  EXPECT_EQ(pdk.ejectDevice(succeeded), pdk::kNotSupported);
  setOSKindForTesting(pdk::kOSWinNT4);
}

class OldFirmwareTest : public DeviceTest {
 protected:
  OldFirmwareTest() : DeviceTest(driveConfig("2.70")) {}
};

TEST_F(OldFirmwareTest, WriteProtectionNeedsRevisionThree) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  int flag = 0;
  EXPECT_EQ(pdk.isWriteProtected(flag), pdk::kNotSupported);
  EXPECT_EQ(pdk.updateWriteProtected(true, nullptr, 1), pdk::kNotSupported);
  EXPECT_EQ(vendorCount(drive, 0x0049), 0);
}

TEST_F(DeviceTest, AVolumeThatCannotBeLockedKeepsItsWriteProtection) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  port.setLockRefused('E', true);
  EXPECT_EQ(pdk.updateWriteProtected(true, nullptr, 1), pdk::kCantLockDevice);
  EXPECT_EQ(vendorCount(drive, 0x0049), 0);
  EXPECT_EQ(drive.state().configBlock[8] & 0x02, 0);
}

class ImageTest : public DeviceTest {
 protected:
  ~ImageTest() override {
    for (const auto& f : files) std::filesystem::remove(f);
  }
  // A file of `bytes` bytes whose byte i is (i * 7 + seed) & 0xFF.
  std::string file(size_t bytes) {
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("tovik_image_" + std::to_string(bytes) + "_" + std::to_string(files.size()) + ".img"))
            .string();
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < bytes; ++i) out.put(static_cast<char>((i * 7 + 3) & 0xFF));
    files.push_back(path);
    return path;
  }
  bool sectorHolds(uint32_t lba, size_t fileOffset) {
    const std::vector<uint8_t> s = drive.sector(lba);
    for (size_t i = 0; i < 512; ++i)
      if (s[i] != static_cast<uint8_t>(((fileOffset + i) * 7 + 3) & 0xFF)) return false;
    return true;
  }
  std::vector<std::string> files;
};

TEST_F(ImageTest, WholeSectorsAreWrittenInChunksOfAHundred) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  const struct {
    size_t bytes;
    uint32_t first;
    std::vector<std::pair<uint32_t, uint32_t>> writes;
  } cases[] = {
      {1023, 10, {{10, 1}}},  // the tail is not written
      {101 * 512, 200, {{200, 100}, {300, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const std::string path = file(c.bytes);
    drive.clearCommandLog();
    const std::vector<uint8_t> after = drive.sector(c.first + c.bytes / 512);
    ASSERT_EQ(pdk.writeImage(path.c_str(), c.first), 0);
    EXPECT_EQ(writes(drive), c.writes);
    for (uint32_t s = 0; s < c.bytes / 512; ++s)
      EXPECT_TRUE(sectorHolds(c.first + s, s * 512)) << s;
    EXPECT_EQ(drive.sector(c.first + c.bytes / 512), after);
  }
}

TEST_F(ImageTest, FilesThatCannotBeAnImageAreRefused) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  const std::string small = file(511);
  const std::string missing = small + ".missing";
  const struct {
    const char* path;
    std::string trace;
  } cases[] = {
      {nullptr, ""},
      {"a", ""},
      {small.c_str(), "ERROR CPDKImpl::writeImage: file " + small + " smaller then 512 Byte\n"},
      {missing.c_str(), "ERROR CPDKImpl::writeImage: file " + missing + " not found\n"},
  };
  drive.clearCommandLog();
  for (const auto& c : cases) {
    TraceCapture trace;
    EXPECT_EQ(pdk.writeImage(c.path, 0), pdk::kBadParameters);
    if (!c.trace.empty()) {
      EXPECT_EQ(trace.count(c.trace), 1u) << c.trace;
    }
  }
  EXPECT_TRUE(writes(drive).empty());
  int32_t bytes = 0;
  EXPECT_EQ(pdk.getCapacity(bytes), 0);  // the handle is as usable as before
}

TEST_F(DeviceTest, FormatWritesOneLabelledVolumeAndTellsTheDrive) {
  CPDKImpl* slot = CPDKSDK::instance().deviceManager().slot(arrive("E").id);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(slot->format(nullptr), pdk::kBadParameters);
  drive.clearCommandLog();
  ASSERT_EQ(slot->format("0"), 0);
  const std::vector<uint8_t> mbr = drive.sector(0);
  ASSERT_EQ(mbr[510], 0x55);
  const uint32_t start = mbr[454] | (mbr[455] << 8) | (mbr[456] << 16) | (mbr[457] << 24);
  const std::vector<uint8_t> boot = drive.sector(start);
  EXPECT_EQ(std::string(boot.begin() + 43, boot.begin() + 54), "NO NAME    ");
  const std::vector<emu::CommandRecord> log = drive.commandLog();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(
      emu::CCommandFilter::vendor(0x0043).matches(log.back().cdb.data(), log.back().cdb.size()));
}

// Detection running for real: the drive leaves and comes back when told to.
class LiveDriveTest : public ::testing::Test {
 protected:
  explicit LiveDriveTest(emu::DriveConfig config) : drive(config), bus(port) {
    pdk::setDevicePort(&port);
  }
  ~LiveDriveTest() override {
    pdk.detachDevice();
    listener.stopListen();
    bus.unplug(&drive);
    pdk::setDevicePort(nullptr);
  }
  // Plugs the drive in on the letters and attaches the handle once detection
  // holds all of them.
  void plugIn(const std::vector<char>& letters) {
    ASSERT_TRUE(listener.startListen());
    CPDKSDK::instance().poll().waitRunAfterInit();
    bus.plugIn(&drive, letters);
    const uint32_t mask = emu::CEmulatedBus::maskOfLetters(letters);
    DeviceParams p;
    for (int i = 0; i < 200; ++i) {
      if (CPDKSDK::instance().findByLetter(letters[0], &p) && p.driveMask == mask) break;
      std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(p.driveMask, mask);
    ASSERT_TRUE(pdk.attachDevice(p));
  }

  // A re-attach returns when the drive's first volume is back; the handle
  // holds all the drive's letters again once detection has seen the others.
  bool waitForLetters(const std::vector<char>& letters) {
    const uint32_t mask = emu::CEmulatedBus::maskOfLetters(letters);
    for (int i = 0; i < 200 && pdk.params().driveMask != mask; ++i)
      std::this_thread::sleep_for(50ms);
    return pdk.params().driveMask == mask;
  }

  emu::CEmulatedDrive drive;
  emu::CEmuDevicePort port;
  emu::CEmulatedBus bus;
  RecordingListener listener;
  CPDK pdk;
};

class WriteProtectionTest : public LiveDriveTest {
 protected:
  WriteProtectionTest() : LiveDriveTest(driveConfig("3.10")) {}
};

TEST_F(WriteProtectionTest, TheSwitchReachesTheDriveWhichThenRefusesWrites) {
  plugIn({'G'});
  int flag = -1;
  ASSERT_EQ(pdk.isWriteProtected(flag), 0);
  EXPECT_EQ(flag, 0);
  // The detach the re-attach begins with carries 1000, 40000 and boot flag 1.
  std::mutex detachesLock;
  std::vector<emu::DetachRequest> detaches;
  drive.setDetachHandler([&](const emu::DetachRequest& r) {
    {
      std::lock_guard<std::mutex> lock(detachesLock);
      detaches.push_back(r);
    }
    bus.handleDetach(&drive);
  });
  DepositSink sink;
  ASSERT_EQ(pdk.updateWriteProtected(true, &sink, 1), 0);  // waits for the re-attach
  {
    std::lock_guard<std::mutex> lock(detachesLock);
    ASSERT_EQ(detaches.size(), 1u);
    EXPECT_EQ(detaches[0].first, 1000u);
    EXPECT_EQ(detaches[0].second, 40000u);
    EXPECT_EQ(detaches[0].bootFlag, 1u);
  }
  EXPECT_EQ(sink.events(), std::vector<std::string>{"completed"});
  EXPECT_FALSE(port.isLocked('G'));
  ASSERT_TRUE(pdk.isValid()) << "the listeners never saw the drive leave";
  ASSERT_EQ(pdk.isWriteProtected(flag), 0);
  EXPECT_EQ(flag, 1);
  const std::vector<uint8_t> before = drive.sector(50);
  const std::vector<uint8_t> data(512, 0x5A);
  CDeviceHandle handle(pdk.params());
  EXPECT_NE(CConnectionSingleton::instance().write10(handle, data.data(), 50, 1, 10000), 0);
  EXPECT_EQ(drive.sector(50), before);

  ASSERT_EQ(pdk.updateWriteProtected(false, nullptr, 1), 0);
  ASSERT_EQ(pdk.isWriteProtected(flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(CConnectionSingleton::instance().write10(handle, data.data(), 50, 1, 10000), 0);
}

TEST_F(WriteProtectionTest, ARefusedConfigurationWriteIsReportedAndChangesNothing) {
  plugIn({'G'});
  std::atomic<int> detaches{0};
  drive.setDetachHandler([&](const emu::DetachRequest&) {
    ++detaches;
    bus.handleDetach(&drive);
  });
  for (emu::FaultKind kind : {emu::FaultKind::NotDelivered, emu::FaultKind::CheckCondition}) {
    SCOPED_TRACE(kind == emu::FaultKind::NotDelivered ? "transport" : "check condition");
    drive.injectFaults(kind, 1, emu::CCommandFilter::vendor(CPDKImpl::kSubCodeConfigWrite));
    DepositSink sink;
    EXPECT_NE(pdk.updateWriteProtected(true, &sink, 1), 0);
    EXPECT_TRUE(sink.events().empty());
    EXPECT_FALSE(port.isLocked('G'));
    int flag = -1;
    ASSERT_EQ(pdk.isWriteProtected(flag), 0);
    EXPECT_EQ(flag, 0);
  }
  EXPECT_EQ(detaches.load(), 0) << "nothing changed, so nothing to re-attach";
}

class FixedDiskVisibilityTest : public LiveDriveTest {
 protected:
  FixedDiskVisibilityTest() : LiveDriveTest(fixedConfig()) {}
  static emu::DriveConfig fixedConfig() {
    emu::DriveConfig c = driveConfig("3.10", false, 8 * 64 * 32);
    c.serial = "0F3B27200088";
    return c;
  }
  int visible(char letter) {
    int state = -1;
    const int rc = pdk.getVisiblePartition(letter, state);
    return rc == 0 ? state : 100 + rc;
  }
};

TEST_F(FixedDiskVisibilityTest, TheMarkerOfEachVolumeBeforeAndAfterLogin) {
  plugIn({'H', 'I'});
  constexpr int32_t kUnitBytes = 64 * 32 * 512;
  EXPECT_EQ(visible('H'), 100 + pdk::kBadDriveLetter) << "no file system yet";
  DepositParams zone;
  std::strcpy(zone.password, kPassword);
  std::strcpy(zone.publicLabel, "PUBLIC");
  std::strcpy(zone.dummyLabel, "DUMMY");
  std::strcpy(zone.safeLabel, "SAFE");
  zone.safeBytes = 2 * kUnitBytes;
  zone.dummyBytes = kUnitBytes;
  ASSERT_EQ(pdk.deposit().configure(zone, nullptr, true), 0);
  ASSERT_TRUE(waitForLetters({'H', 'I'}));
  EXPECT_EQ(visible('H'), 0);
  EXPECT_EQ(visible('I'), 1);
  ASSERT_EQ(pdk.deposit().login(kPassword, nullptr, true), 0);
  ASSERT_TRUE(waitForLetters({'H', 'I'}));
  EXPECT_EQ(visible('H'), 0);
  EXPECT_EQ(visible('I'), 2);
  EXPECT_EQ(visible('J'), 100 + pdk::kBadDriveLetter);
}

class OneVolumeFixedDiskTest : public DeviceTest {
 protected:
  OneVolumeFixedDiskTest() : DeviceTest(driveConfig("3.10", false, 8 * 64 * 32)) {}
};

TEST_F(OneVolumeFixedDiskTest, WithoutASafePartitionTheDriveAloneTellsPublic) {
  CPDK pdk;
  ASSERT_TRUE(pdk.attachDevice(arrive("E")));
  int state = -1;
  // Nothing on the volume carries a marker: only the drive's answer gives 0.
  ASSERT_EQ(pdk.getVisiblePartition('E', state), 0);
  EXPECT_EQ(state, 0);
}

}  // namespace
