// The rules of detection without its thread: settling arrivals on a test
// clock, the device table, and how reports reach the listeners.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ConnectionSingleton.h"
#include "DeviceChecker.h"
#include "DeviceManager.h"
#include "DriveFixture.h"
#include "OSKind.h"
#include "PDKImpl.h"
#include "PendingArrival.h"
#include "RecordingListener.h"
#include "SdkEnvironment.h"
#include "TestClock.h"
#include "TraceCapture.h"
#include "WMDeviceEventHandler.h"
#include "sdk/PDKSDK.h"
#include "sdk/core/PDKSDK.h"

namespace {

// The SDK lives for the whole program; the rules are those of the NT family
// without the registry check.
const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SdkEnvironment(pdk::kOSWinNT4));

DeviceParams drive(const char* serial, uint32_t mask, int status = pdk::kOk) {
  DeviceParams p;
  pdk::setText(p.serial, serial);
  pdk::setText(p.vendor, "VANTREL");
  pdk::setText(p.product, "Plunda Drive");
  pdk::setText(p.revision, "2.70");
  p.driveMask = mask;
  p.status = status;
  return p;
}

// Puts every slot back to free, so no test sees another's drives.
void clearDeviceTable() {
  for (int id = 0; id < CDeviceManager::kSlotCount; ++id) {
    if (CPDKImpl* s = CPDKSDK::instance().deviceManager().slot(id)) s->setStatus(pdk::kNotConnected);
  }
}

constexpr uint32_t E = 1u << 4, F = 1u << 5, G = 1u << 6, H = 1u << 7;

class ClockTest : public ::testing::Test {
 protected:
  ClockTest() { pdkos::setClock(&clock); }
  ~ClockTest() override { pdkos::setClock(nullptr); }
  pdkos::CTestClock clock;
};

using PendingArrivalTest = ClockTest;

TEST_F(PendingArrivalTest, DueOnlyAfterItsDelayAndLongerOnceTouched) {
  CPendingArrival a(DeviceParams::forLetter('E'), 1500);
  clock.advance(1500);
  EXPECT_FALSE(a.due());  // more than the delay must have passed
  clock.advance(1);
  EXPECT_TRUE(a.due());
  EXPECT_EQ(a.checks(), 2);

  a.touch();  // the second touch makes the wait ten times longer, once
  EXPECT_EQ(a.touches(), 2);
  EXPECT_EQ(a.delay(), 15000u);
  a.touch();
  EXPECT_EQ(a.delay(), 15000u);
  clock.advance(15000);
  EXPECT_FALSE(a.isDueNow());
  EXPECT_EQ(a.dueTime(), a.tick() + 15000);
  a.touch();
  a.touch();  // five touches: due at once
  EXPECT_TRUE(a.due());
}

TEST_F(PendingArrivalTest, AnOldArrivalCountsAsTouched) {
  CPendingArrival a(DeviceParams::forLetter('E'), 1500);
  clock.advance(30000);
  EXPECT_EQ(a.expiry(), 1);
  clock.advance(1);
  EXPECT_EQ(a.expiry(), 2);
  EXPECT_EQ(a.expiry(), 3);
}

class CountingObserver : public IPDKObserver {
 public:
  void update(CPDKImpl&, const DeviceParams& p) override { seen.push_back(p); }
  std::vector<DeviceParams> seen;
};

TEST(DeviceManagerTest, DrivesTakeFreeSlotsAndKnownDrivesMergeTheirLetters) {
  CDeviceManager table;
  DeviceParams a = drive("A1", E);
  DeviceParams b = drive("B2", F);
  EXPECT_EQ(table.addDevice(a), 0);
  EXPECT_EQ(table.addDevice(b), 1);
  EXPECT_EQ(a.id, 0);

  CountingObserver observer;
  table.slot(0)->attachObserver(&observer);
  DeviceParams again = drive("A1", E);
  EXPECT_EQ(table.addDevice(again), -1);  // nothing new
  EXPECT_TRUE(observer.seen.empty());

  const struct {
    uint32_t arriving;
    uint32_t expected;
  } cases[] = {
      {G, E | G},      // another volume: letters added
      {G | H, G | H},  // a letter in common: mounted afresh, letters replaced
  };
  for (const auto& c : cases) {
    DeviceParams p = drive("A1", c.arriving);
    EXPECT_EQ(table.addDevice(p), 0);
    EXPECT_EQ(p.status, pdk::kParamsChanged);
    EXPECT_EQ(p.driveMask, c.expected);
    EXPECT_EQ(table.slot(0)->params().driveMask, c.expected);
    EXPECT_EQ(table.slot(0)->status(), pdk::kOk);
  }
  EXPECT_EQ(observer.seen.size(), 2u);
  table.slot(0)->detachObserver(&observer);
}

TEST(DeviceManagerTest, RemovedAndUnrecognisedSlotsAreReused) {
  CDeviceManager table;
  DeviceParams a = drive("A1", E);
  DeviceParams b = drive("", F, pdk::kNotAuthenticated);
  table.addDevice(a);
  EXPECT_EQ(table.addDevice(b), 1);
  // Unrecognised is free too: once that drive is pulled out (its slot stays
  // 9), its old letter must not lead to it.
  EXPECT_EQ(table.findByLetter('f'), nullptr);

  EXPECT_EQ(table.removeDevice(DeviceParams::forLetter('F')), nullptr);  // 9 is not connected
  CPDKImpl* removed = table.removeDevice(DeviceParams::forLetter('E'));
  ASSERT_EQ(removed, table.slot(0));
  EXPECT_EQ(removed->status(), pdk::kNotConnected);
  EXPECT_EQ(table.findByLetter('E'), nullptr);  // a free slot keeps old letters
  EXPECT_EQ(table.removeDevice(DeviceParams::forLetter('E')), nullptr);

  DeviceParams c = drive("C3", G);
  DeviceParams d = drive("D4", H);
  EXPECT_EQ(table.addDevice(c), 0);
  EXPECT_EQ(table.addDevice(d), 1);
  EXPECT_EQ(table.slot(1)->params().driveMask, H);
  EXPECT_EQ(table.slot(200), nullptr);
  EXPECT_EQ(table.slot(-1), nullptr);
}

TEST(DeviceManagerTest, AFullTableTakesNoMoreDrives) {
  TraceCapture trace;
  CDeviceManager table;
  for (int i = 0; i < CDeviceManager::kSlotCount; ++i) {
    DeviceParams p = drive(("S" + std::to_string(i)).c_str(), E);
    ASSERT_EQ(table.addDevice(p), i);
  }
  DeviceParams extra = drive("EXTRA", F);
  EXPECT_EQ(table.addDevice(extra), -1);
  EXPECT_EQ(extra.id, -1);
  EXPECT_EQ(trace.count("CDeviceManager::addDevice: all 128 slots in use, drive EXTRA not added\n"),
            1u);
}

TEST(PDKImplTest, ObserversHearOnlyRealChanges) {
  CPDKImpl slot(&CConnectionSingleton::instance());
  CountingObserver observer;
  slot.attachObserver(&observer);
  slot.attachObserver(&observer);  // once is enough
  EXPECT_EQ(slot.observerCount(), 1u);
  slot.setParams(drive("A1", E), 3);
  EXPECT_EQ(slot.getId(), 3);
  slot.setParams(drive("A1", E), 3);
  slot.setStatus(pdk::kOk);
  slot.setStatus(pdk::kNotConnected);
  ASSERT_EQ(observer.seen.size(), 2u);
  EXPECT_EQ(observer.seen[1].status, pdk::kNotConnected);
}

// Reports go through the real SDK object and its listener list.
class DispatchTest : public ::testing::Test {
 protected:
  DispatchTest() { CPDKSDK::instance().attach(&listener); }
  ~DispatchTest() override {
    CPDKSDK::instance().detach(&listener);
    clearDeviceTable();
  }
  RecordingListener listener;
};

TEST_F(DispatchTest, EachRecordReachesItsCallback) {
  TraceCapture trace;
  const struct {
    const char* name;
    int status;
    int removable;
    const char* product;
    const char* revision;
    std::vector<std::string> heard;
  } cases[] = {
      {"recognised", pdk::kOk, 1, "Plunda Drive", "2.70", {"connected"}},
      {"other product", pdk::kNotAuthenticated, 1, "Other Disk", "2.70", {"notRecognized"}},
      {"old Plunda", pdk::kNotAuthenticated, 1, "Plunda", "1.05", {"notRecognized"}},
      {"fixed, unrecognised", pdk::kNotAuthenticated, 0, "Other Disk", "2.70", {}},
  };
  char serial[] = "D0";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    listener.clear();
    ++serial[1];
    DeviceParams p = drive(c.status == pdk::kOk ? serial : "", E, c.status);
    p.removable = c.removable;
    pdk::setText(p.product, c.product);
    pdk::setText(p.revision, c.revision);
    CPDKSDK::instance().deviceArrival(p);
    EXPECT_EQ(listener.kinds(), c.heard);
    EXPECT_EQ(CPDKSDK::instance().currentEvent(), nullptr);
  }
  EXPECT_EQ(trace.count("CDeviceListener::update: Plunda 1.x connected, id 1, SDK will ignore it\n"),
            1u);
}

TEST_F(DispatchTest, ASecondVolumeIsAnUpdateAndRemovalADisconnect) {
  RecordingListener second;
  CPDKSDK::instance().attach(&second);
  DeviceParams first = drive("M1", E);
  CPDKSDK::instance().deviceArrival(first);
  DeviceParams again = drive("M1", E);
  CPDKSDK::instance().deviceArrival(again);  // same letters: nothing to tell
  DeviceParams other = drive("M1", F);
  CPDKSDK::instance().deviceArrival(other);
  CPDKSDK::instance().deviceRemoval(DeviceParams::forLetter('F'));
  CPDKSDK::instance().deviceRemoval(DeviceParams::forLetter('F'));  // gone already

  const auto events = listener.events();
  ASSERT_EQ(listener.kinds(), (std::vector<std::string>{"connected", "updated", "disconnected"}));
  EXPECT_EQ(events[1].params.status, pdk::kOk);  // listeners see the change as usable
  EXPECT_EQ(events[1].params.driveMask, E | F);
  EXPECT_EQ(events[1].params.id, events[0].params.id);
  EXPECT_EQ(events[2].params.status, pdk::kNotConnected);
  EXPECT_EQ(second.kinds(), listener.kinds());  // every listener, in order

  DeviceParams found;
  EXPECT_FALSE(CPDKSDK::instance().findByLetter('E', &found));
  CPDKSDK::instance().detach(&second);
}

TEST_F(DispatchTest, AListenerMayAcceptWhatTheSdkDidNot) {
  class Lenient : public RecordingListener {
    bool isDeviceValid(const DeviceParams&) override { return true; }
  } lenient;
  CPDKSDK::instance().attach(&lenient);
  DeviceParams p = drive("", G, pdk::kNotAuthenticated);
  CPDKSDK::instance().deviceArrival(p);
  EXPECT_EQ(lenient.kinds(), std::vector<std::string>{"connected"});
  EXPECT_EQ(listener.kinds(), std::vector<std::string>{"notRecognized"});
  CPDKSDK::instance().detach(&lenient);
}

// An emulated drive behind the NT transport, for the steps that talk to it.
class DriveDispatchTest : public DriveFixture {
 protected:
  explicit DriveDispatchTest(emu::DriveConfig config) : DriveFixture(config) {
    CPDKSDK::instance().attach(&listener);
  }
  ~DriveDispatchTest() override {
    CPDKSDK::instance().detach(&listener);
    clearDeviceTable();
  }
  // What detection makes of the drive on E.
  DeviceParams recognised() {
    DeviceParams p = DeviceParams::forLetter('E');
    CDeviceChecker().recognise(p);
    return p;
  }
  RecordingListener listener;
};

emu::DriveConfig otherProduct() {
  emu::DriveConfig c = smallDrive();
  c.product = "Other Disk";
  c.serial = "0F3B27000077";
  c.identifierText = "Acme Other 77";  // does not name the maker
  return c;
}

class RetryTest : public DriveDispatchTest {
 protected:
  RetryTest() : DriveDispatchTest(otherProduct()) {}
};

TEST_F(RetryTest, ADriveTheListenerWantsIsTakenInWithoutTheProductCheck) {
  DeviceParams p = recognised();
  ASSERT_EQ(p.status, pdk::kNotAuthenticated);
  listener.retryUnrecognised = true;
  CPDKSDK::instance().deviceArrival(p);
  const auto events = listener.events();
  ASSERT_EQ(listener.kinds(), (std::vector<std::string>{"notRecognized", "connected"}));
  EXPECT_EQ(events[1].params.status, pdk::kOk);
  EXPECT_EQ(events[1].params.id, events[0].params.id);  // the same slot
  EXPECT_STREQ(events[1].params.serial, "0F3B27000077");
  DeviceParams held;
  ASSERT_TRUE(CPDKSDK::instance().findByLetter('E', &held));
  EXPECT_EQ(held.status, pdk::kOk);
}

TEST_F(RetryTest, ADriveNobodyWantsStaysUnrecognised) {
  DeviceParams p = recognised();
  CPDKSDK::instance().deviceArrival(p);
  EXPECT_EQ(listener.kinds(), std::vector<std::string>{"notRecognized"});
}

emu::DriveConfig oldPlunda() {
  emu::DriveConfig c = smallDrive();
  c.product = "Plunda";
  c.revision = "1.20";
  c.serial = "0F3B27000088";
  c.identifierText = "Plunda Classic";
  return c;
}

class OldPlundaTest : public DriveDispatchTest {
 protected:
  OldPlundaTest() : DriveDispatchTest(oldPlunda()) {}
};

TEST_F(OldPlundaTest, IsNeverRetriedWhateverTheListenerSays) {
  DeviceParams p = recognised();
  EXPECT_EQ(p.status, pdk::kNotAuthenticated);
  listener.retryUnrecognised = true;
  CPDKSDK::instance().deviceArrival(p);
  EXPECT_EQ(listener.kinds(), std::vector<std::string>{"notRecognized"});
}

// The handler's own rules, with a recognise step that answers from a table.
class TableChecker : public CDeviceChecker {
 public:
  struct Answer {
    int status;
    const char* serial;
    int removable;
  };
  void recognise(DeviceParams& p) override {
    const char letter = pdk::lowestLetter(p.driveMask);
    asked.push_back(letter);
    const auto it = answers.find(letter);
    if (it == answers.end()) return;  // nothing there: stays 8
    const DeviceParams known = drive(it->second.serial, p.driveMask, it->second.status);
    p = known;
    p.removable = it->second.removable;
  }
  std::map<char, Answer> answers;
  std::vector<char> asked;
};

class HandlerTest : public ClockTest {
 protected:
  HandlerTest() {
    handler.setDeviceChecker(&checker);
    CPDKSDK::instance().attach(&listener);
  }
  ~HandlerTest() override {
    CPDKSDK::instance().detach(&listener);
    clearDeviceTable();
  }
  static constexpr uint32_t kArrival = CDeviceEventHandler::kDeviceArrival;
  static constexpr uint32_t kRemoval = CDeviceEventHandler::kDeviceRemoveComplete;

  TableChecker checker;
  CWMDeviceEventHandler handler;
  RecordingListener listener;
};

TEST_F(HandlerTest, ArrivalsAreRecognisedOnceSettledLettersInOrder) {
  checker.answers['E'] = {pdk::kOk, "H1", 1};
  checker.answers['F'] = {pdk::kOk, "H1", 1};
  handler.deviceChange(0x8001, E);  // not an arrival or removal
  EXPECT_EQ(handler.pendingCount(), 0u);
  handler.deviceChange(kArrival, F | E);
  handler.deviceChange(kArrival, G);
  handler.deviceChange(kArrival, G);  // announced again: the same arrival, made to wait
  EXPECT_EQ(handler.pendingCount(), 3u);
  EXPECT_EQ(handler.waitTimeout(), CDeviceEventHandler::kSettlingPollMs);

  handler.processEvents();
  EXPECT_TRUE(checker.asked.empty());
  clock.advance(1501);
  handler.processEvents();
  EXPECT_EQ(checker.asked, (std::vector<char>{'E', 'F'}));
  EXPECT_EQ(listener.kinds(), (std::vector<std::string>{"connected", "updated"}));
  EXPECT_EQ(handler.pendingCount(), 1u);

  handler.deviceChange(kRemoval, E | F);
  EXPECT_EQ(listener.kinds(),
            (std::vector<std::string>{"connected", "updated", "disconnected"}));
}

TEST_F(HandlerTest, ALetterGoneBeforeItSettledIsNeverReported) {
  checker.answers['E'] = {pdk::kOk, "H2", 1};
  handler.deviceChange(kArrival, E);
  clock.advance(1000);
  handler.deviceChange(kRemoval, E);
  checker.answers.clear();  // the drive is away
  clock.advance(1501);
  handler.processEvents();
  EXPECT_TRUE(checker.asked.empty());  // waits 15 s now
  clock.advance(13500);
  handler.processEvents();
  EXPECT_EQ(checker.asked.size(), 1u);  // looked at once, then dropped
  EXPECT_EQ(handler.pendingCount(), 0u);
  EXPECT_TRUE(listener.events().empty());
}

TEST_F(HandlerTest, AFreshArrivalThatFailsIsTriedAgainForAWhile) {
  checker.answers['G'] = {pdk::kNotReady, "H3", 1};
  handler.deviceChange(kArrival, G);
  for (int i = 0; i < 5; ++i) handler.processEvents();  // five checks while settling
  clock.advance(1501);
  for (int i = 0; i < 10; ++i) handler.processEvents();
  // Checks 6 to 10 keep it after failing, check 11 tries a last time.
  EXPECT_EQ(checker.asked.size(), 6u);
  EXPECT_EQ(handler.pendingCount(), 0u);

  checker.asked.clear();
  handler.deviceChange(kArrival, G);
  clock.advance(30001);  // old before it was ever looked at
  handler.processEvents();
  EXPECT_EQ(checker.asked.size(), 1u);
  EXPECT_EQ(handler.pendingCount(), 0u);
  EXPECT_TRUE(listener.events().empty());
}

TEST_F(HandlerTest, WaitsAreShortWhileSettlingAndBoundedWhenOverdue) {
  EXPECT_EQ(handler.waitTimeout(), 500u);
  checker.answers['H'] = {pdk::kNotReady, "H4", 1};
  handler.deviceChange(kArrival, H);
  EXPECT_EQ(handler.waitTimeout(), 20u);
  clock.advance(1500 + 120);
  EXPECT_EQ(handler.waitTimeout(), 120u);  // overdue by that much
  clock.advance(1000);
  EXPECT_EQ(handler.waitTimeout(), 500u);
}

TEST_F(HandlerTest, ASecondVolumeOfAFixedDiskStillWaitingIsADuplicate) {
  checker.answers['F'] = {pdk::kNotReady, "FIX1", 0};  // kept, carrying its serial
  checker.answers['E'] = {pdk::kOk, "FIX1", 0};
  handler.deviceChange(kArrival, F);
  clock.advance(1501);
  handler.processEvents();
  handler.deviceChange(kArrival, E);
  clock.advance(1501);
  handler.processEvents();
  EXPECT_TRUE(listener.events().empty());
  EXPECT_EQ(handler.pendingCount(), 2u);
}

// The authenticate step on the kinds that check more than recognition did.
class AuthenticateTest : public DriveFixture {
 protected:
  explicit AuthenticateTest(emu::DriveConfig config = smallDrive()) : DriveFixture(config) {}
  ~AuthenticateTest() override { setOSKindForTesting(pdk::kOSWinNT4); }
  int statusOn(int kind, DeviceParams p) {
    setOSKindForTesting(kind);
    handler.authenticate(p);
    return p.status;
  }
  CWMDeviceEventHandler handler;
};

TEST_F(AuthenticateTest, Windows2000AndXPWantTheDriveRegistered) {
  DeviceParams p = driveE();
  pdk::setText(p.serial, "0F3B2700NOTREG");
  p.status = pdk::kOk;
  EXPECT_EQ(statusOn(pdk::kOSWin2000, p), pdk::kNotReady);
  EXPECT_EQ(statusOn(pdk::kOSWinXP, p), pdk::kNotReady);
  EXPECT_EQ(statusOn(pdk::kOSWinNT4, p), pdk::kOk);
  p.status = pdk::kNotAuthenticated;  // only a recognised drive is checked
  EXPECT_EQ(statusOn(pdk::kOSWinXP, p), pdk::kNotAuthenticated);
}

emu::DriveConfig uclDrive() {
  emu::DriveConfig c = smallDrive();
  c.ucl = true;
  c.serial = "";
  return c;
}

class UclAuthenticateTest : public AuthenticateTest {
 protected:
  UclAuthenticateTest() : AuthenticateTest(uclDrive()) {}
};

TEST_F(UclAuthenticateTest, ADriveWithoutSerialIsTheUclVersionWhenItSaysSo) {
  DeviceParams p = driveE();
  p.status = pdk::kOk;
  EXPECT_EQ(statusOn(pdk::kOSWinXP, p), pdk::kUclVersion);
  port.detach('E');  // no answer to the probe
  EXPECT_EQ(statusOn(pdk::kOSWin2000, p), pdk::kGeneralError);
}

emu::DriveConfig fixedDrive() {
  emu::DriveConfig c = smallDrive();
  c.removable = false;
  return c;
}

class FixedAuthenticateTest : public AuthenticateTest {
 protected:
  FixedAuthenticateTest() : AuthenticateTest(fixedDrive()) {}
};

TEST_F(FixedAuthenticateTest, On98SeTheConfigurationBlockTellsAFixedDisk) {
  DeviceParams p = driveE();
  p.status = pdk::kOk;
  pdk::setText(p.revision, "3.10");
  setOSKindForTesting(pdk::kOSWin98SE);
  handler.authenticate(p);
  EXPECT_EQ(p.removable, 0);
  EXPECT_EQ(p.status, pdk::kOk);

  DeviceParams older = driveE();
  older.status = pdk::kOk;
  pdk::setText(older.revision, "2.70");  // not asked below revision 3
  handler.authenticate(older);
  EXPECT_EQ(older.removable, 1);
}

TEST(InitialScanTest, DrivesPresentAtStartAreReported) {
  emu::CEmulatedDrive present(smallDrive());
  emu::CEmuDevicePort port;
  port.attach('K', &present);
  pdk::setDevicePort(&port);
  RecordingListener listener;
  CPDKSDK::instance().attach(&listener);
  CWMDeviceEventHandler handler;
  CDeviceChecker checker;
  handler.setDeviceChecker(&checker);
  handler.initialScan();
  handler.destroyWindow();
  const auto events = listener.events();
  ASSERT_EQ(listener.kinds(), std::vector<std::string>{"connected"});
  EXPECT_EQ(events[0].params.driveMask, 1u << ('K' - 'A'));
  EXPECT_STREQ(events[0].params.serial, "0F3B27000042");
  EXPECT_EQ(events[0].params.removable, 1);
  CPDKSDK::instance().detach(&listener);
  clearDeviceTable();
  pdk::setDevicePort(nullptr);
}

}  // namespace
