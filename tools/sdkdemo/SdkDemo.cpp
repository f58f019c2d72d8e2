// A short walk through the SDK as an application uses it, against an emulated
// Tovik Drive: listen for drives, plug the emulated drive in, hear of it,
// attach a device handle, read what the drive tells, keep a cookie on it,
// set up its privacy zone, log in and out, and pull it out again.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ChangeSignal.h"
#include "DemoRegistration.h"
#include "DevicePoll.h"
#include "EmuDevicePort.h"
#include "EmulatedBus.h"
#include "EmulatedDrive.h"
#include "OSKind.h"
#include "PDKCriticalSection.h"
#include "PDKLockGuard.h"
#include "sdk/PDKSDK.h"
#include "sdk/core/PDKSDK.h"

namespace {

int g_failures = 0;

void report(const char* step, int code, int expected = pdk::kOk) {
  std::printf("%-40s -> %2d (%s)\n", step, code, PDKSDK_getErrorString(code));
  if (code != expected) ++g_failures;
}

// The application's side of detection: it writes down what it hears.
class DemoListener : public CDeviceListener {
 public:
  ~DemoListener() override { stopListen(); }

  void deviceConnected(const DeviceParams& p) override {
    std::printf("  deviceConnected: id %d, serial %s, letter %c:\n", p.id, p.serial,
                pdk::lowestLetter(p.driveMask));
    record(p);
  }
  void deviceDisconnected(const DeviceParams& p) override {
    std::printf("  deviceDisconnected: id %d\n", p.id);
    record(p);
  }
  void deviceUpdated(const DeviceParams& p) override {
    std::printf("  deviceUpdated: id %d\n", p.id);
    record(p);
  }

  // The next record heard with this status, or none after the time-out.
  bool waitFor(int status, DeviceParams* out, std::chrono::seconds timeout) {
    return m_changed.waitFor(timeout, [&] {
      CPDKLockGuard lock(&m_mutex);
      for (const DeviceParams& p : m_heard) {
        if (p.status == status) {
          *out = p;
          return true;
        }
      }
      return false;
    });
  }

 private:
  void record(const DeviceParams& p) {
    {
      CPDKLockGuard lock(&m_mutex);
      m_heard.push_back(p);
    }
    m_changed.notifyAll();
  }

  CPDKCriticalSection m_mutex;
  emu::CChangeSignal m_changed;
  std::vector<DeviceParams> m_heard;
};

// Where the privacy zone reports its long operations.
class DemoNotify : public IDepositNotify {
 public:
  void onProgress(int) override {}
  void onFormatDone() override { std::printf("  privacy zone: format done\n"); }
  void onError(int code, const char* text) override {
    std::printf("  privacy zone: error %d, %s\n", code, text);
  }
  void onCompleted() override { std::printf("  privacy zone: completed\n"); }
  void onReconnectFailed(int code, const char* text) override {
    std::printf("  privacy zone: reconnect failed %d, %s\n", code, text);
  }
};

void walkThrough(CPDK& pdk) {
  int32_t capacity = 0;
  report("capacity", pdk.getCapacity(capacity));
  std::printf("    %d bytes (%d MB)\n", capacity, capacity / (1024 * 1024));

  char serial[40] = {};
  report("serial", pdk.getSerial(serial, sizeof(serial)));
  std::printf("    \"%s\"\n", serial);

  char letters[128] = {};
  uint32_t length = sizeof(letters);
  report("drive letters", pdk.getDriveLetters(letters, length));
  for (const char* l = letters; *l != '\0'; l += std::strlen(l) + 1) std::printf("    %s\n", l);

  report("cookie set \"Ovrin App\"/\"LabelStr\"",
         pdk.cookies().setString("Ovrin App", "LabelStr", "Holiday photos"));
  char label[64] = {};
  uint32_t size = sizeof(label);
  report("cookie get \"Ovrin App\"/\"LabelStr\"",
         pdk.cookies().getString("Ovrin App", "LabelStr", label, size));
  std::printf("    \"%s\"\n", label);

  DemoNotify notify;
  DepositParams zone;
  std::strcpy(zone.password, "open sesame");
  std::strcpy(zone.hint, "the usual one");
  std::strcpy(zone.publicLabel, "TOVIK");
  zone.safeBytes = 16 * 1024 * 1024;
  report("privacy zone: configure 16 MB", pdk.deposit().configure(zone, &notify, true));
  int64_t publicBytes = 0, safeBytes = 0, dummyBytes = 0;
  report("privacy zone: sizes",
         pdk.deposit().getPartitionSizes(publicBytes, safeBytes, dummyBytes));
  std::printf("    public %lld bytes, safe %lld bytes\n", static_cast<long long>(publicBytes),
              static_cast<long long>(safeBytes));
  char hint[64] = {};
  size = sizeof(hint);
  report("privacy zone: password hint", pdk.deposit().getPasswordHint(hint, size));
  std::printf("    \"%s\"\n", hint);

  report("privacy zone: login, wrong password", pdk.deposit().login("guess", &notify, true),
         pdk::kDeviceInternalError);
  report("privacy zone: login", pdk.deposit().login("open sesame", &notify, true));
  int state = -1;
  report("visible partition",
         pdk.getVisiblePartition(pdk::lowestLetter(pdk.params().driveMask), state));
  std::printf("    %s\n", state == 2 ? "safe" : state == 1 ? "dummy" : "public");
  report("privacy zone: logout", pdk.deposit().logout(&notify, true));
  report("visible partition",
         pdk.getVisiblePartition(pdk::lowestLetter(pdk.params().driveMask), state));
  std::printf("    %s\n", state == 2 ? "safe" : state == 1 ? "dummy" : "public");

  size = sizeof(label);
  report("cookie kept across the new layout",
         pdk.cookies().getString("Ovrin App", "LabelStr", label, size));
}

}  // namespace

int main() {
  std::printf("Tovik device SDK %s\n", PDKSDK_getVersion());
  std::printf("PDKSDK_init() -> %d\n", PDKSDK_init());
  std::printf("Windows kind %d\n\n", GetOSKind());

  emu::DriveConfig config;
  config.serial = "0F3B27001234";
  config.revision = "3.10";
  config.sectorCount = 131072;  // 64 MB
  emu::CEmulatedDrive drive(config);
  emu::CEmuDevicePort port;
  pdk::setDevicePort(&port);
  {
    emu::CEmulatedBus bus(port);
    DemoListener listener;
    if (!listener.startListen()) {
      std::printf("No drive detection on this system.\n");
      ++g_failures;
    } else if (!registerDemoDrive(config.serial)) {
      std::printf("The emulated drive could not be registered with the system.\n");
      ++g_failures;
    } else {
      // A drive plugged in before the SDK listens for changes is found by its
      // first scan; this one arrives afterwards, as the user plugs it in.
      CPDKSDK::instance().poll().waitRunAfterInit();
      const std::vector<char> letters = bus.plugIn(&drive);
      std::printf("Emulated Tovik Drive plugged in on %c: (%u sectors of 512 bytes)\n", letters[0],
                  config.sectorCount);
      DeviceParams connected;
      if (!listener.waitFor(pdk::kOk, &connected, std::chrono::seconds(10))) {
        std::printf("The drive was not reported.\n");
        ++g_failures;
      } else {
        CPDK pdk;
        const bool attached = pdk.attachDevice(connected);
        std::printf("attachDevice(id %d) -> %s\n\n", connected.id, attached ? "true" : "false");
        if (!attached) ++g_failures;
        walkThrough(pdk);

        std::printf("\nPulling the drive out\n");
        bus.unplug(&drive);
        DeviceParams gone;
        if (!listener.waitFor(pdk::kNotConnected, &gone, std::chrono::seconds(10))) ++g_failures;
        int32_t capacity = 0;
        report("capacity of the handle now", pdk.getCapacity(capacity), pdk::kNotConnected);
      }
      unregisterDemoDrive(config.serial);
    }
    listener.stopListen();
  }
  pdk::setDevicePort(nullptr);
  PDKSDK_fini();
  std::printf("PDKSDK_fini() done, %s\n", g_failures == 0 ? "all as expected" : "FAILURES");
  return g_failures == 0 ? 0 : 1;
}
