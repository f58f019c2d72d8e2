// Thousands of plug-and-unplug cycles of emulated drives through detection as
// it runs for real: the SDK's thread hears the bus's announcements, arrivals
// settle on the test clock, recognition talks to the drives. Some cycles plug
// a drive again before it settled, or pull it for good before it settled;
// some add a second volume, before or after the first settled; some make the
// drive drop off and come back under a transparent reconnect; meanwhile a
// drive in the background comes and goes. Afterwards every connect has had
// its disconnect, no slot is held or lost, nothing is pending, no listener
// heard anything once its stopListen returned (also when it stopped while a
// drive was being reported), and nothing leaked. TOVIK_SOAK_CYCLES sets the
// cycle count.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "ConnectionSingleton.h"
#include "DetectionPlatform.h"
#include "DeviceChangeBroadcaster.h"
#include "DeviceEventHandler.h"
#include "DeviceHandle.h"
#include "DeviceManager.h"
#include "DeviceMessageWindow.h"
#include "DevicePoll.h"
#include "DevicePort.h"
#include "EmuDevicePort.h"
#include "EmulatedBus.h"
#include "EmulatedDrive.h"
#include "PDKImpl.h"
#include "ReconnectJob.h"
#include "RecordingListener.h"
#include "SdkEnvironment.h"
#include "TestClock.h"
#include "sdk/PDKSDK.h"
#include "sdk/core/PDKSDK.h"

namespace {

using namespace std::chrono_literals;

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SdkEnvironment(prepareDetectionPlatform));

// Drives 0 to 2 take turns in the cycles; drive 3 comes and goes beside them.
constexpr int kCycling = 3;
constexpr int kBackground = kCycling;
constexpr int kDrives = kCycling + 1;
// Each drive has a letter of its own and a second one for its late volume.
char letterOf(int drive) { return char('E' + 2 * drive); }
char lateLetterOf(int drive) { return char('F' + 2 * drive); }
uint32_t bit(char letter) { return pdk::letterBit(letter); }
// Shorter than the settling delay of an arrival (1500 ms).
constexpr uint32_t kInsideSettling = 1400;

int cycles() {
  const char* text = std::getenv("TOVIK_SOAK_CYCLES");
  return text != nullptr ? std::atoi(text) : 10000;
}

// Hears everything, and counts what it is told after its stopListen returned.
class SoakListener : public RecordingListener {
 public:
  void deviceConnected(const DeviceParams& p) override {
    late += stopped.load();
    RecordingListener::deviceConnected(p);
  }
  void deviceDisconnected(const DeviceParams& p) override {
    late += stopped.load();
    RecordingListener::deviceDisconnected(p);
  }
  void deviceUpdated(const DeviceParams& p) override {
    late += stopped.load();
    RecordingListener::deviceUpdated(p);
  }
  bool deviceNotRecognized(const DeviceParams& p) override {
    late += stopped.load();
    return RecordingListener::deviceNotRecognized(p);
  }
  // What it was told of one drive.
  std::vector<HeardEvent> eventsOf(const std::string& serial) const {
    std::vector<HeardEvent> out;
    for (const HeardEvent& e : events())
      if (serial == e.params.serial) out.push_back(e);
    return out;
  }
  std::atomic<bool> stopped{false};
  std::atomic<int> late{0};
};

// Listens from the first cycle to the last and checks that, drive by drive,
// what it hears makes sense: connected, any updates, disconnected, and again.
class Ledger : public CDeviceListener {
 public:
  void deviceConnected(const DeviceParams& p) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    Drive& d = m_drives[p.serial];
    m_faults += d.connected;
    d.connected = true;
    d.id = p.id;
    ++d.connects;
    m_highestId = std::max(m_highestId, p.id);
  }
  void deviceDisconnected(const DeviceParams& p) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    Drive& d = m_drives[p.serial];
    m_faults += !d.connected || d.id != p.id;
    d.connected = false;
    ++d.disconnects;
  }
  void deviceUpdated(const DeviceParams& p) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Drive& d = m_drives[p.serial];
    m_faults += !d.connected || d.id != p.id;
  }
  bool deviceNotRecognized(const DeviceParams&) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_faults;  // every drive of the soak is one of ours
    return false;
  }

  // Every drive's connects and disconnects, and the faults seen.
  std::string summary() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string s = "faults " + std::to_string(m_faults);
    for (const auto& [serial, d] : m_drives)
      s += "; " + serial + ": " + std::to_string(d.connects) + " connects, " +
           std::to_string(d.disconnects) + " disconnects" + (d.connected ? ", connected" : "");
    return s;
  }
  bool balanced() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_faults != 0) return false;
    for (const auto& entry : m_drives)
      if (entry.second.connected || entry.second.connects != entry.second.disconnects) return false;
    return true;
  }
  int connects(const std::string& serial) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_drives.find(serial);
    return it == m_drives.end() ? 0 : it->second.connects;
  }
  int highestId() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_highestId;
  }

 private:
  struct Drive {
    bool connected = false;
    int id = -1;
    int connects = 0;
    int disconnects = 0;
  };
  mutable std::mutex m_mutex;
  std::map<std::string, Drive> m_drives;
  int m_faults = 0;
  int m_highestId = -1;
};

class DetectionSoak : public ::testing::Test {
 protected:
  DetectionSoak() : bus(port) {
    pdkos::setClock(&clock);
    pdk::setDevicePort(&port);
    for (int i = 0; i < kDrives; ++i) {
      emu::DriveConfig c;
      c.serial = "0F3B2720000" + std::to_string(i);
      c.sectorCount = 4096;
      drives.push_back(std::make_unique<emu::CEmulatedDrive>(c));
    }
  }
  ~DetectionSoak() override {
    listener.stopListen();
    ledger.stopListen();
    for (auto& d : drives) bus.unplug(d.get());
    pdk::setDevicePort(nullptr);
    pdkos::setClock(nullptr);
  }

  static std::string serialOf(int d) { return "0F3B2720000" + std::to_string(d); }

  // Lets virtual time pass and the detection thread look at its arrivals,
  // until the condition holds (false after ten real seconds).
  bool settleUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > limit) return false;
      clock.advance(1600);
      wake();
      std::this_thread::yield();
    }
    return true;
  }
  // A message the handler ignores: the thread wakes, handles it and then
  // processes its due arrivals.
  static void wake() { pdkos::broadcastDeviceChange(0x8001, bit('Z')); }
  // Virtual time that passes while an arrival is still settling.
  void passInsideSettling(std::mt19937& random) {
    clock.advance(random() % kInsideSettling);
    wake();
  }
  bool heardOf(int d, size_t count) {
    return settleUntil([&] { return listener.eventsOf(serialOf(d)).size() >= count; });
  }
  bool nothingPending() {
    return settleUntil([] { return CPDKSDK::instance().poll().handler()->pendingCount() == 0; });
  }

  // A volume of the drive the bus does not know about: routed and announced here.
  void addLateVolume(int d) {
    port.attach(lateLetterOf(d), drives[d].get());
    bus.broadcaster().announce(true, bit(lateLetterOf(d)));
  }
  void removeLateVolume(int d) {
    port.detach(lateLetterOf(d));
    bus.broadcaster().announce(false, bit(lateLetterOf(d)));
  }
  void plug(int d) { bus.plugIn(drives[d].get(), std::vector<char>{letterOf(d)}); }

  // The drive drops off the bus and comes back, hidden from the listeners.
  int reconnect(int d, const DeviceParams& p) {
    bus.setReattachBehaviour(drives[d].get(), {false, 0ms});
    std::atomic<int> result{-1};
    std::thread worker([&] {
      CDeviceHandle handle(p);
      CReconnectJob job(p, handle, 20, 1, 1);
      result = CPDKSDK::instance().transparentReconnect(job);
    });
    const bool back = settleUntil([&] { return result.load() != -1; });
    worker.join();
    return back ? result.load() : -1;
  }

  pdkos::CTestClock clock;
  emu::CEmuDevicePort port;
  std::vector<std::unique_ptr<emu::CEmulatedDrive>> drives;
  emu::CEmulatedBus bus;
  SoakListener listener;
  Ledger ledger;
};

enum Kind { kPlain, kReplug, kPulled, kLateEarly, kLateAfter, kReconnect, kReplugReconnect, kKinds };
const char* const kKindNames[kKinds] = {
    "plain",          "re-plugged before settling", "pulled before settling",
    "volume added before settling", "volume added after settling", "reconnected",
    "re-plugged and reconnected"};

TEST_F(DetectionSoak, EveryConnectIsUndoneAndNothingIsLeftBehind) {
  ASSERT_TRUE(ledger.startListen());
  ASSERT_TRUE(listener.startListen());
  CPDKSDK::instance().poll().waitRunAfterInit();
  std::mt19937 random(20261210);
  const int total = cycles();
  int counts[kKinds] = {};
  bool backgroundPlugged = false;

  for (int cycle = 0; cycle < total; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    const int d = cycle % kCycling;
    emu::CEmulatedDrive* drive = drives[d].get();
    const char letter = letterOf(d);
    const Kind kind = Kind(random() % kKinds);
    ++counts[kind];
    listener.clear();
    if (random() % 8 == 0) {
      // The drive beside: whatever state its own arrival or removal is in.
      if (backgroundPlugged)
        bus.unplug(drives[kBackground].get());
      else
        plug(kBackground);
      backgroundPlugged = !backgroundPlugged;
    }

    plug(d);
    if (kind == kPulled) {
      // Gone before it settled: never reported.
      passInsideSettling(random);
      bus.unplug(drive);
      ASSERT_TRUE(nothingPending());
      ASSERT_TRUE(listener.eventsOf(serialOf(d)).empty());
      continue;
    }
    if (kind == kReplug || kind == kReplugReconnect) {
      // Pulled and plugged again before it settled: one connect in the end.
      passInsideSettling(random);
      bus.unplug(drive);
      passInsideSettling(random);
      plug(d);
    }
    if (kind == kLateEarly) {
      passInsideSettling(random);
      addLateVolume(d);
    }
    ASSERT_TRUE(heardOf(d, 1));
    const DeviceParams p = listener.eventsOf(serialOf(d))[0].params;
    ASSERT_EQ(listener.eventsOf(serialOf(d))[0].what, "connected");
    ASSERT_EQ(p.driveMask, bit(letter));
    size_t expected = 1;

    if (kind == kLateEarly || kind == kLateAfter) {
      if (kind == kLateAfter) addLateVolume(d);
      ASSERT_TRUE(heardOf(d, ++expected));
      const HeardEvent update = listener.eventsOf(serialOf(d))[1];
      ASSERT_EQ(update.what, "updated");
      ASSERT_EQ(update.params.id, p.id);
      ASSERT_EQ(update.params.driveMask, bit(letter) | bit(lateLetterOf(d)));
    } else if (kind == kReconnect || kind == kReplugReconnect) {
      // The drive drops off and comes back; the listener hears nothing of it.
      ASSERT_EQ(reconnect(d, p), pdk::kOk);
      ASSERT_EQ(listener.eventsOf(serialOf(d)).size(), expected);
    }

    bus.unplug(drive);
    if (kind == kLateEarly || kind == kLateAfter) removeLateVolume(d);
    ASSERT_TRUE(heardOf(d, ++expected));
    const auto events = listener.eventsOf(serialOf(d));
    ASSERT_EQ(events.size(), expected);
    ASSERT_EQ(events.back().what, "disconnected");
    ASSERT_EQ(events.back().params.id, p.id);
  }
  std::printf("%d cycles:", total);
  for (int k = 0; k < kKinds; ++k) std::printf(" %d %s;", counts[k], kKindNames[k]);
  std::printf("\n");
  if (total >= 100) {
    for (int k = 0; k < kKinds; ++k) EXPECT_GT(counts[k], 0) << kKindNames[k];
  }

  // Every drive gone and settled: the books balance, no arrival waits, no
  // slot is held, and the table has not grown past the drives there are.
  if (backgroundPlugged) bus.unplug(drives[kBackground].get());
  ASSERT_TRUE(nothingPending());
  ASSERT_TRUE(settleUntil([&] { return ledger.balanced(); })) << ledger.summary();
  std::printf("%s\n", ledger.summary().c_str());
  EXPECT_LT(ledger.highestId(), kDrives);
  for (int id = 0; id < CDeviceManager::kSlotCount; ++id) {
    const CPDKImpl* slot = CPDKSDK::instance().deviceManager().slot(id);
    if (slot != nullptr) {
      EXPECT_NE(slot->status(), pdk::kOk) << "slot " << id << " still held";
    }
  }
  // All drives at once still find slots.
  for (int d = 0; d < kDrives; ++d) plug(d);
  ASSERT_TRUE(settleUntil([&] {
    DeviceParams held;
    for (int d = 0; d < kDrives; ++d)
      if (!CPDKSDK::instance().findByLetter(letterOf(d), &held) || held.status != pdk::kOk)
        return false;
    return true;
  }));
  for (int d = 0; d < kDrives; ++d) bus.unplug(drives[d].get());
  ASSERT_TRUE(settleUntil([&] { return ledger.balanced(); })) << ledger.summary();
  EXPECT_LT(ledger.highestId(), kDrives);
}

// A listener that stops while a drive is being reported hears nothing once
// its stopListen has returned, whether the report came before or after.
TEST_F(DetectionSoak, NoListenerCallAfterStopListenEvenWhileADriveIsReported) {
  ASSERT_TRUE(ledger.startListen());
  ASSERT_TRUE(listener.startListen());
  CPDKSDK::instance().poll().waitRunAfterInit();
  std::mt19937 random(20261211);
  const int rounds = std::max(1, cycles() / 50);
  int heardBeforeStop = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int d = round % kDrives;
    const int connectsBefore = ledger.connects(serialOf(d));
    SoakListener quitting;
    ASSERT_TRUE(quitting.startListen());
    // The stop lands anywhere from before the drive settles to after its report.
    const unsigned spins = random() % 256;
    std::atomic<bool> go{random() % 2 == 0};
    std::thread stopper([&] {
      while (!go.load()) std::this_thread::yield();
      for (unsigned i = 0; i < spins; ++i) std::this_thread::yield();
      quitting.stopListen();
      quitting.stopped = true;
    });
    plug(d);
    go = true;
    ASSERT_TRUE(settleUntil([&] { return ledger.connects(serialOf(d)) > connectsBefore; }));
    stopper.join();
    heardBeforeStop += !quitting.events().empty();
    bus.unplug(drives[d].get());
    ASSERT_TRUE(settleUntil([&] { return ledger.balanced(); })) << ledger.summary();
    EXPECT_EQ(quitting.late.load(), 0);
  }
  std::printf("%d rounds: the drive was reported before the stop in %d\n", rounds,
              heardBeforeStop);

  // Stopped for good, while the SDK goes on: the drive is taken in and nobody
  // who stopped is told.
  ASSERT_FALSE(listener.events().empty());
  listener.stopListen();
  listener.stopped = true;
  listener.clear();
  plug(0);
  ASSERT_TRUE(settleUntil([] {
    DeviceParams held;
    return CPDKSDK::instance().findByLetter(letterOf(0), &held);
  }));
  bus.unplug(drives[0].get());
  ASSERT_TRUE(settleUntil([&] { return ledger.balanced(); })) << ledger.summary();
  EXPECT_EQ(listener.late.load(), 0);
  EXPECT_TRUE(listener.events().empty());

#if defined(__SANITIZE_ADDRESS__)
  // After both tests' cycles: whatever the SDK and the emulator let go of
  // was freed.
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
