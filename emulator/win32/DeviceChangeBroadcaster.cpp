// The volume broadcast reaches the windows of this process only: the drives
// are emulated inside it, and test programs running side by side in one Wine
// session must not see each other's drives. The system-wide HWND_BROADCAST
// also reaches a hidden window under Wine, but would leak to every program.
#include "DeviceChangeBroadcaster.h"

#include <windows.h>

#include <dbt.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace emu {

static_assert(CDeviceChangeBroadcaster::kDeviceArrival == DBT_DEVICEARRIVAL, "arrival value");
static_assert(CDeviceChangeBroadcaster::kDeviceRemoveComplete == DBT_DEVICEREMOVECOMPLETE,
              "removal value");
static_assert(CDeviceChangeBroadcaster::kDevTypVolume == DBT_DEVTYP_VOLUME, "volume type");

namespace {

BOOL CALLBACK collectOwnWindow(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId())
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

}  // namespace

void CDeviceChangeBroadcaster::announce(bool arrival, uint32_t mask) {
  if (mask == 0) return;
  // Collected first: a window procedure may create or destroy windows while
  // it handles the message.
  std::vector<HWND> windows;
  EnumWindows(collectOwnWindow, reinterpret_cast<LPARAM>(&windows));

  auto volume = std::make_unique<DEV_BROADCAST_VOLUME>();
  volume->dbcv_size = sizeof(DEV_BROADCAST_VOLUME);
  volume->dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume->dbcv_reserved = 0;
  volume->dbcv_unitmask = mask;
  volume->dbcv_flags = 0;
  const WPARAM event = arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
  // A thread that does not take messages costs the time-out once, not once
  // for each of its windows.
  std::vector<DWORD> stuckThreads;
  for (HWND window : windows) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (thread == 0 ||
        std::find(stuckThreads.begin(), stuckThreads.end(), thread) != stuckThreads.end())
      continue;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(volume.get()),
                             SMTO_ABORTIFHUNG, kWindowTimeoutMs, &result))
      stuckThreads.push_back(thread);
  }
  // A message that timed out is still delivered once its thread takes
  // messages again, and within one process the pointer is not copied: the
  // header must then outlive this call. That only happens with a stuck
  // window, so the few bytes are given up rather than tracked.
  if (!stuckThreads.empty()) volume.release();

  notifySubscribers(arrival, mask);
}

}  // namespace emu
