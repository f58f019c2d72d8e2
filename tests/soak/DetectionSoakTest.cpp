// Thousands of plug-and-unplug cycles of emulated drives through detection as
// it runs for real: the SDK's thread hears the bus's announcements, arrivals
// settle on the test clock, recognition talks to the drives. Some cycles plug
// a drive again before it settled, some add a second volume late, some make
// the drive drop off and come back under a transparent reconnect. Afterwards
// every connect has had its disconnect, no slot is held, nothing is pending,
// and the listener hears nothing once it stopped listening. Leaks are left to
// the sanitizer's leak check at exit. TOVIK_SOAK_CYCLES sets the cycle count.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

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

constexpr int kDrives = 4;
// Each drive has a letter of its own and a second one for its late volume.
char letterOf(int drive) { return char('E' + 2 * drive); }
char lateLetterOf(int drive) { return char('F' + 2 * drive); }
uint32_t bit(char letter) { return pdk::letterBit(letter); }

int cycles() {
  const char* text = std::getenv("TOVIK_SOAK_CYCLES");
  return text != nullptr ? std::atoi(text) : 10000;
}

// Hears everything, and counts what it is told after it stopped listening.
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
  std::atomic<bool> stopped{false};
  std::atomic<int> late{0};
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
    for (auto& d : drives) bus.unplug(d.get());
    pdk::setDevicePort(nullptr);
    pdkos::setClock(nullptr);
  }

  // Lets virtual time pass and the detection thread look at its arrivals,
  // until the condition holds (false after ten real seconds).
  bool settleUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > limit) return false;
      clock.advance(1600);
      // A message the handler ignores: the thread wakes, handles it and then
      // processes its due arrivals.
      pdkos::broadcastDeviceChange(0x8001, bit('Z'));
      std::this_thread::yield();
    }
    return true;
  }
  bool heard(size_t count) {
    return settleUntil([&] { return listener.events().size() >= count; });
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

  pdkos::CTestClock clock;
  emu::CEmuDevicePort port;
  std::vector<std::unique_ptr<emu::CEmulatedDrive>> drives;
  emu::CEmulatedBus bus;
  SoakListener listener;
};

TEST_F(DetectionSoak, EveryConnectIsUndoneAndNothingIsLeftBehind) {
  ASSERT_TRUE(listener.startListen());
  CPDKSDK::instance().poll().waitRunAfterInit();
  std::mt19937 random(20261210);
  const int total = cycles();
  int reconnects = 0, replugs = 0, lateVolumes = 0;

  for (int cycle = 0; cycle < total; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    const int d = cycle % kDrives;
    emu::CEmulatedDrive* drive = drives[d].get();
    const char letter = letterOf(d);
    listener.clear();
    bus.plugIn(drive, std::vector<char>{letter});
    const int kind = int(random() % 4);
    if (kind == 1) {
      // Pulled and plugged again before it settled: one connect in the end.
      bus.unplug(drive);
      bus.plugIn(drive, std::vector<char>{letter});
      ++replugs;
    }
    ASSERT_TRUE(heard(1));
    const DeviceParams p = listener.events()[0].params;
    ASSERT_EQ(listener.events()[0].what, "connected");
    ASSERT_EQ(p.driveMask, bit(letter));
    size_t expected = 1;

    if (kind == 2) {
      addLateVolume(d);
      ASSERT_TRUE(heard(++expected));
      ASSERT_EQ(listener.events()[1].what, "updated");
      ASSERT_EQ(listener.events()[1].params.driveMask, bit(letter) | bit(lateLetterOf(d)));
      ++lateVolumes;
    } else if (kind == 3) {
      // The drive drops off and comes back; the listener hears nothing of it.
      bus.setReattachBehaviour(drive, {false, 0ms});
      std::atomic<int> result{-1};
      std::thread reconnect([&] {
        CDeviceHandle handle(p);
        CReconnectJob job(p, handle, 20, 1, 1);
        result = CPDKSDK::instance().transparentReconnect(job);
      });
      const bool back = settleUntil([&] { return result.load() != -1; });
      reconnect.join();
      ASSERT_TRUE(back);
      ASSERT_EQ(result.load(), pdk::kOk);
      ASSERT_EQ(listener.events().size(), expected);
      ++reconnects;
    }

    bus.unplug(drive);
    if (kind == 2) removeLateVolume(d);
    ASSERT_TRUE(heard(++expected));
    const auto events = listener.events();
    ASSERT_EQ(events.size(), expected);
    ASSERT_EQ(events.back().what, "disconnected");
    ASSERT_EQ(events.back().params.id, p.id);
  }
  std::printf("%d cycles: %d re-plugs before settling, %d late volumes, %d reconnects\n", total,
              replugs, lateVolumes, reconnects);
  EXPECT_GT(reconnects + replugs + lateVolumes, 0);
  EXPECT_EQ(CPDKSDK::instance().poll().handler()->pendingCount(), 0u);
  for (int id = 0; id < CDeviceManager::kSlotCount; ++id) {
    const CPDKImpl* slot = CPDKSDK::instance().deviceManager().slot(id);
    if (slot != nullptr) {
      EXPECT_NE(slot->status(), pdk::kOk) << "slot " << id << " still held";
    }
  }

  listener.stopListen();
  listener.stopped = true;
  listener.clear();
  bus.plugIn(drives[0].get(), std::vector<char>{letterOf(0)});
  // The SDK takes the drive in, but tells nobody.
  ASSERT_TRUE(settleUntil([] {
    DeviceParams held;
    return CPDKSDK::instance().findByLetter(letterOf(0), &held);
  }));
  bus.unplug(drives[0].get());
  EXPECT_EQ(listener.late.load(), 0);
  EXPECT_TRUE(listener.events().empty());
}

}  // namespace
