// The SDK's start and stop are process-wide and one-way, so this program walks
// through them once, in order.
#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "Connection.h"
#include "ConnectionSingleton.h"
#include "HotplugWindowCloser.h"
#include "NTConnection.h"
#include "OSKind.h"
#include "TraceCapture.h"
#include "sdk/PDKSDK.h"
#include "sdk/core/PDKSDK.h"

namespace {

void expectNotInitialised() {
  try {
    CConnectionSingleton::instance();
    ADD_FAILURE() << "the transport was handed out";
  } catch (const pdk::CPDKException& e) {
    EXPECT_EQ(e.code, 25);
    EXPECT_STREQ(e.message, "Should call PDKSDK_init() method to initilize the PDKSDK");
  }
  EXPECT_THROW(CPDKSDK::instance(), pdk::CPDKException);
  EXPECT_THROW(CPDKSDK::sdkLock(), pdk::CPDKException);
}

class Listener : public CDeviceListener {
  void deviceConnected(const DeviceParams&) override {}
  void deviceDisconnected(const DeviceParams&) override {}
};

// Outside the SDK's life a device handle attaches to nothing and answers 25,
// and listening is refused; nothing crashes.
void expectRefusedOutsideTheSdk() {
  CPDK device;
  EXPECT_FALSE(device.attachDevice('E'));
  EXPECT_FALSE(device.attachDevice(DeviceParams::forLetter('E')));
  int32_t bytes = 0;
  EXPECT_EQ(device.getCapacity(bytes), pdk::kInitNotCalled);
  EXPECT_EQ(device.probeAccess(), pdk::kInitNotCalled);
  int flag = 0;
  EXPECT_EQ(device.ejectDevice(flag), pdk::kInitNotCalled);
  EXPECT_EQ(device.isWriteProtected(flag), pdk::kInitNotCalled);
  bool inSafe = false;
  EXPECT_EQ(device.deposit().isInSafePartition(inSafe), pdk::kInitNotCalled);
  uint32_t free = 0;
  EXPECT_EQ(device.cookies().freeSpace(free), pdk::kInitNotCalled);
  EXPECT_FALSE(device.isValid());
  device.detachDevice();
  Listener listener;
  EXPECT_FALSE(listener.startListen());
  listener.stopListen();
}

// The program plays Windows 98 first edition (kind 2): the NT transport, and
// no detection to listen to.
const bool g_firstEdition = (setOSKindForTesting(pdk::kOSWin98), true);

TEST(LifecycleTest, InitOnceFiniOnceAndNeverAgain) {
  ASSERT_TRUE(g_firstEdition);
  TraceCapture trace;
  EXPECT_STREQ(PDKSDK_getVersion(), "3.0.10.8");
  expectRefusedOutsideTheSdk();
  trace.clear();

  // Before init: the accessors refuse and fini only says so.
  expectNotInitialised();
  PDKSDK_fini();
  EXPECT_EQ(trace.lines(),
            (std::vector<std::string>{"CPDKSDK::fini() called before init()\n",
                                      "CConnectionSingleton::fini() called before init()\n"}));
  trace.clear();

  // Init builds the process-wide objects before any thread of the SDK runs;
  // then threads racing for the objects all get the same ones.
  EXPECT_FALSE(pdkos::CHotplugWindowCloser::built());
  EXPECT_EQ(PDKSDK_init(), 1);
  EXPECT_TRUE(pdkos::CHotplugWindowCloser::built());
  EXPECT_TRUE(trace.lines().empty());
  std::vector<std::thread> racers;
  std::vector<std::pair<CPDKSDK*, IConnection*>> seen(4);
  for (auto& slot : seen) {
    racers.emplace_back([&slot] {
      slot = {&CPDKSDK::instance(), &CConnectionSingleton::instance()};
    });
  }
  for (auto& racer : racers) racer.join();
  CPDKSDK& sdk = CPDKSDK::instance();
  IConnection& connection = CConnectionSingleton::instance();
  for (const auto& slot : seen) {
    EXPECT_EQ(slot.first, &sdk);
    EXPECT_EQ(slot.second, &connection);
  }
  EXPECT_EQ(GetOSKind(), 2);
  EXPECT_NE(dynamic_cast<CNTConnection*>(&connection), nullptr);
  Listener listener;
  EXPECT_FALSE(listener.startListen()) << "Windows 98 first edition has no detection";
  listener.stopListen();

  // Init again: the second call creates nothing new.
  EXPECT_EQ(PDKSDK_init(), 2);
  EXPECT_EQ(trace.count("Init method called twice in application\n"), 2u);
  EXPECT_EQ(&CPDKSDK::instance(), &sdk);
  EXPECT_EQ(&CConnectionSingleton::instance(), &connection);
  trace.clear();

  // Fini: everything goes, and a later init does not bring it back.
  PDKSDK_fini();
  EXPECT_TRUE(trace.lines().empty());
  expectNotInitialised();
  expectRefusedOutsideTheSdk();
  EXPECT_EQ(PDKSDK_init(), 3);
  EXPECT_EQ(trace.count("Init method called twice in application\n"), 2u);
  expectNotInitialised();
}

}  // namespace
