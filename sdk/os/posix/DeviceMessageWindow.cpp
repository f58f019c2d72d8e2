// Without a window system each message window is a mailbox on its thread.
// Device changes are sent to it as the system sends WM_DEVICECHANGE: the
// sender waits until the window's thread has handled the message while
// waiting or peeking, or until a second has passed.
#include "DeviceMessageWindow.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace pdkos {

namespace {

constexpr std::chrono::milliseconds kBroadcastTimeout{1000};

struct Delivery {
  uint32_t event = 0;
  uint32_t unitMask = 0;
  bool done = false;
};

}  // namespace

// Shared with the senders, which may still hold it when the window is gone.
struct CDeviceMessageWindow::State {
  Handler handler;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::shared_ptr<Delivery>> queue;
  bool closed = false;
};

namespace {

std::mutex g_windowsMutex;
std::vector<std::shared_ptr<CDeviceMessageWindow::State>> g_windows;

}  // namespace

CDeviceMessageWindow::CDeviceMessageWindow(Handler handler) : state_(std::make_shared<State>()) {
  state_->handler = std::move(handler);
  std::lock_guard<std::mutex> lock(g_windowsMutex);
  g_windows.push_back(state_);
}

CDeviceMessageWindow::~CDeviceMessageWindow() {
  {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    for (auto it = g_windows.begin(); it != g_windows.end(); ++it) {
      if (*it == state_) {
        g_windows.erase(it);
        break;
      }
    }
  }
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->closed = true;
  // Senders still waiting are released as if their time had run out.
  for (auto& delivery : state_->queue) delivery->done = true;
  state_->queue.clear();
  state_->changed.notify_all();
}

void CDeviceMessageWindow::waitAndPeek(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return !state_->queue.empty(); });
  while (!state_->queue.empty()) {
    std::shared_ptr<Delivery> delivery = state_->queue.front();
    state_->queue.pop_front();
    lock.unlock();
    state_->handler(delivery->event, delivery->unitMask);
    lock.lock();
    delivery->done = true;
    state_->changed.notify_all();
  }
}

void broadcastDeviceChange(uint32_t event, uint32_t unitMask) {
  if (unitMask == 0) return;
  std::vector<std::shared_ptr<CDeviceMessageWindow::State>> windows;
  {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    windows = g_windows;
  }
  for (const auto& window : windows) {
    auto delivery = std::make_shared<Delivery>();
    delivery->event = event;
    delivery->unitMask = unitMask;
    std::unique_lock<std::mutex> lock(window->mutex);
    if (window->closed) continue;
    window->queue.push_back(delivery);
    window->changed.notify_all();
    window->changed.wait_for(lock, kBroadcastTimeout, [&] { return delivery->done; });
  }
}

}  // namespace pdkos
