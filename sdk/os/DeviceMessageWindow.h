// The hidden window detection hears volume arrivals and removals through. On
// Windows it is a real window of class "CPDKMessageListener" that receives the
// system's WM_DEVICECHANGE broadcasts; elsewhere it is an in-process stand-in
// that broadcastDeviceChange() reaches the same way, so detection runs its
// whole path on every platform. Create, pump and destroy it on one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace pdkos {

class CDeviceMessageWindow {
 public:
  // event: the device-change event (0x8000 arrival, 0x8004 removal complete,
  // anything else passed on as it came); unitMask: bit 0 = 'A'. Called on the
  // window's thread, only for volume headers.
  using Handler = std::function<void(uint32_t event, uint32_t unitMask)>;

  static constexpr const char* kClassName = "CPDKMessageListener";
  static constexpr const char* kTitle = "mess_listner";

  explicit CDeviceMessageWindow(Handler handler);
  ~CDeviceMessageWindow();
  CDeviceMessageWindow(const CDeviceMessageWindow&) = delete;
  CDeviceMessageWindow& operator=(const CDeviceMessageWindow&) = delete;

  // Waits up to timeoutMs for a posted message, then removes one message;
  // device changes sent meanwhile reach the handler on the way.
  void waitAndPeek(uint32_t timeoutMs);

  struct State;

 private:
  std::shared_ptr<State> state_;  // shared with senders that may outlive the window
};

// Sends a device change to every message window of this process and returns
// when each has handled it or a second has passed for it. This is what the
// system's broadcast does on Windows; the in-process stand-ins need it sent.
void broadcastDeviceChange(uint32_t event, uint32_t unitMask);

}  // namespace pdkos
