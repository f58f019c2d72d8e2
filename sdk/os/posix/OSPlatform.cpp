#include "OSPlatform.h"

#include <sched.h>
#include <time.h>

#include <cerrno>
#include <cstdio>

namespace pdkos::platform {

uint32_t tickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // wraps after 49.7 days, as GetTickCount does
}

void sleep(uint32_t ms) {
  if (ms == 0) {
    sched_yield();  // as Sleep(0): give up the rest of the time slice
    return;
  }
  timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
  while (nanosleep(&left, &left) == -1 && errno == EINTR) {
  }
}

void debugOutput(const char* text) { std::fputs(text, stderr); }

}  // namespace pdkos::platform
