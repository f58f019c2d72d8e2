// The bus's announcements as a detection window receives them: a hidden
// top-level window on a thread of its own, never shown, as the SDK creates it.
#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/EmuDevicePort.h"
#include "emulator/EmulatedBus.h"
#include "emulator/EmulatedDrive.h"

namespace {

using emu::CEmulatedBus;
using namespace std::chrono_literals;

struct Received {
  WPARAM event;
  DWORD size, deviceType, reserved, unitMask;
  WORD flags;
  bool operator==(const Received& o) const {
    return event == o.event && size == o.size && deviceType == o.deviceType &&
           reserved == o.reserved && unitMask == o.unitMask && flags == o.flags;
  }
};

std::ostream& operator<<(std::ostream& os, const Received& r) {
  return os << "{event " << std::hex << r.event << " size " << std::dec << r.size << " type "
            << r.deviceType << " reserved " << r.reserved << " mask " << std::hex << r.unitMask
            << " flags " << r.flags << std::dec << "}";
}

Received volume(WPARAM event, DWORD mask) {
  return Received{event, DWORD(sizeof(DEV_BROADCAST_VOLUME)), DBT_DEVTYP_VOLUME, 0, mask, 0};
}

// A hidden listener window with its own message loop. With pump set to false
// the thread stops taking messages once the window exists, as a hung program.
class ListenerWindow {
 public:
  explicit ListenerWindow(bool pump = true) : pump_(pump) {
    thread_ = std::thread([this] { run(); });
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return created_; });
  }
  ~ListenerWindow() {
    if (window_ == nullptr) {
      // The thread has already ended.
    } else if (pump_) {
      PostMessageA(window_, WM_CLOSE, 0, 0);
    } else {
      std::lock_guard<std::mutex> lock(mutex_);
      release_ = true;
      ready_.notify_all();
    }
    thread_.join();
  }
  HWND handle() const { return window_; }
  std::vector<Received> received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ListenerWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_DEVICECHANGE && self != nullptr && lParam != 0) {
      const auto* v = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam);
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->received_.push_back(Received{wParam, v->dbcv_size, v->dbcv_devicetype, v->dbcv_reserved,
                                         v->dbcv_unitmask, v->dbcv_flags});
    }
    if (message == WM_DESTROY) {
      PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  void run() {
    static std::atomic<int> classes{0};
    const std::string name = "TovikBusTestListener" + std::to_string(classes++);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name.c_str();
    RegisterClassExA(&wc);
    HWND window = CreateWindowExA(0, name.c_str(), "listener", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  0, CW_USEDEFAULT, 0, nullptr, nullptr, nullptr, this);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      window_ = window;
      created_ = true;
      ready_.notify_all();
    }
    if (window == nullptr) {
      // Nothing to pump for; the test reports the missing window.
    } else if (pump_) {
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    } else {
      std::unique_lock<std::mutex> lock(mutex_);
      ready_.wait(lock, [this] { return release_; });
      lock.unlock();
      DestroyWindow(window);
    }
    UnregisterClassA(name.c_str(), nullptr);
  }

  const bool pump_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool created_ = false;
  bool release_ = false;
  HWND window_ = nullptr;
  std::vector<Received> received_;
};

// Windows need a display under Wine (DISPLAY, e.g. an Xvfb server).
#define ASSERT_WINDOW(listener)           \
  ASSERT_NE((listener).handle(), nullptr) \
      << "no window: under Wine set DISPLAY to a running X server"

emu::DriveConfig smallDrive() {
  emu::DriveConfig c;
  c.sectorCount = 2048;
  return c;
}

TEST(DeviceChangeWindowTest, HiddenWindowOfAnotherThreadReceivesArrivalAndRemoval) {
  ListenerWindow listener;
  ASSERT_WINDOW(listener);
  emu::CEmuDevicePort port;
  emu::CEmulatedDrive drive(smallDrive());
  CEmulatedBus bus(port);
  bus.plugIn(&drive, 2);
  // Delivered before plugIn returns: the detection window sees the drive at once.
  EXPECT_EQ(listener.received(), std::vector<Received>{volume(DBT_DEVICEARRIVAL, 0x30)});
  bus.unplug(&drive);
  EXPECT_EQ(listener.received(), (std::vector<Received>{volume(DBT_DEVICEARRIVAL, 0x30),
                                                        volume(DBT_DEVICEREMOVECOMPLETE, 0x30)}));
  EXPECT_FALSE(IsWindowVisible(listener.handle()));
}

TEST(DeviceChangeWindowTest, ReturnAnnouncedFromTheBackgroundReachesTheWindow) {
  ListenerWindow listener;
  ASSERT_WINDOW(listener);
  emu::CEmuDevicePort port;
  emu::CEmulatedDrive drive(smallDrive());
  CEmulatedBus bus(port);
  bus.setFirstLetter('H');
  bus.plugIn(&drive);
  bus.detachAndReturn(&drive, 50ms);
  ASSERT_TRUE(bus.waitForEvents(3, 5s));
  EXPECT_EQ(listener.received(), (std::vector<Received>{volume(DBT_DEVICEARRIVAL, 0x80),
                                                        volume(DBT_DEVICEREMOVECOMPLETE, 0x80),
                                                        volume(DBT_DEVICEARRIVAL, 0x80)}));
}

TEST(DeviceChangeWindowTest, EveryWindowHearsEachAnnouncementOnce) {
  ListenerWindow first, second;
  ASSERT_WINDOW(first);
  ASSERT_WINDOW(second);
  emu::CEmuDevicePort port;
  emu::CEmulatedDrive drive(smallDrive());
  CEmulatedBus bus(port);
  bus.plugIn(&drive);
  const std::vector<Received> expected{volume(DBT_DEVICEARRIVAL, 0x10)};
  EXPECT_EQ(first.received(), expected);
  EXPECT_EQ(second.received(), expected);
}

TEST(DeviceChangeWindowTest, WindowThatTakesNoMessagesDelaysTheBusOnlyBriefly) {
  ListenerWindow hung(false);
  ListenerWindow live;
  ASSERT_WINDOW(hung);
  ASSERT_WINDOW(live);
  emu::CEmuDevicePort port;
  emu::CEmulatedDrive drive(smallDrive());
  CEmulatedBus bus(port);
  const auto start = std::chrono::steady_clock::now();
  bus.plugIn(&drive);
  // One time-out for the stuck thread, however many windows it has.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1800ms);
  EXPECT_EQ(live.received(), std::vector<Received>{volume(DBT_DEVICEARRIVAL, 0x10)});
  EXPECT_EQ(bus.events().size(), 1u);
}

}  // namespace
