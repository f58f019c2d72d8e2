// Without a window system the subscribers are the only listeners.
#include "DeviceChangeBroadcaster.h"

namespace emu {

void CDeviceChangeBroadcaster::announce(bool arrival, uint32_t mask) {
  if (mask == 0) return;
  notifySubscribers(arrival, mask);
}

}  // namespace emu
