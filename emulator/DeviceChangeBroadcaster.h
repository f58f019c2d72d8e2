// Tells the rest of the process that volumes appeared or disappeared, the way
// the system does when a drive is plugged in or pulled out: the volume
// WM_DEVICECHANGE goes to every message window of this process (real top-level
// windows on Windows, the OS layer's stand-ins elsewhere), so detection runs
// its real path; in-process subscribers hear it afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "PDKCriticalSection.h"

namespace emu {

class CDeviceChangeBroadcaster {
 public:
  // arrival: true for an arrival, false for a removal. mask: bit 0 = 'A'.
  using Subscriber = std::function<void(bool arrival, uint32_t mask)>;

  // The message values as the system defines them.
  static constexpr uint32_t kDeviceArrival = 0x8000;
  static constexpr uint32_t kDeviceRemoveComplete = 0x8004;
  static constexpr uint32_t kDevTypVolume = 2;

  CDeviceChangeBroadcaster() = default;
  CDeviceChangeBroadcaster(const CDeviceChangeBroadcaster&) = delete;
  CDeviceChangeBroadcaster& operator=(const CDeviceChangeBroadcaster&) = delete;

  // Returns an id for unsubscribe(). Subscribers are called on the announcing
  // thread, in subscription order, after the windows.
  int subscribe(Subscriber subscriber);
  // Once this returns, the subscriber is not running and will not be called,
  // unless unsubscribe() is called from inside it.
  void unsubscribe(int id);

  // Announces one change and returns when every window and subscriber has seen
  // it (or its window timed out). A mask of 0 announces nothing.
  void announce(bool arrival, uint32_t mask);

 private:
  void notifySubscribers(bool arrival, uint32_t mask);

  // Held while subscribers run, so unsubscribe() can wait for a running one;
  // recursive so a subscriber may subscribe or unsubscribe.
  CPDKCriticalSection mutex_;
  std::map<int, Subscriber> subscribers_;
  int nextId_ = 1;
};

}  // namespace emu
