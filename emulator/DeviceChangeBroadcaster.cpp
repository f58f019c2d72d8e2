#include "DeviceChangeBroadcaster.h"

#include <utility>

#include "DeviceMessageWindow.h"
#include "PDKLockGuard.h"

namespace emu {

void CDeviceChangeBroadcaster::announce(bool arrival, uint32_t mask) {
  if (mask == 0) return;
  pdkos::broadcastDeviceChange(arrival ? kDeviceArrival : kDeviceRemoveComplete, mask);
  notifySubscribers(arrival, mask);
}

int CDeviceChangeBroadcaster::subscribe(Subscriber subscriber) {
  CPDKLockGuard lock(&mutex_);
  const int id = nextId_++;
  subscribers_.emplace(id, std::move(subscriber));
  return id;
}

void CDeviceChangeBroadcaster::unsubscribe(int id) {
  CPDKLockGuard lock(&mutex_);
  subscribers_.erase(id);
}

void CDeviceChangeBroadcaster::notifySubscribers(bool arrival, uint32_t mask) {
  CPDKLockGuard lock(&mutex_);
  // Walk by id so a subscriber that (un)subscribes does not invalidate the walk;
  // one subscribed during the walk hears only later announcements.
  const int end = nextId_;
  for (auto it = subscribers_.begin(); it != subscribers_.end() && it->first < end;) {
    const int id = it->first;
    Subscriber call = it->second;  // a copy: the subscriber may remove itself
    call(arrival, mask);
    it = subscribers_.upper_bound(id);
  }
}

}  // namespace emu
