// The emulated ASPI library. It holds no drive of its own: a program in the same
// process installs its handler with TovikEmuAspi_setTarget, and every ASPI call
// is passed to it. Exported by name only (see wnaspi32.def), so the 32-bit build
// carries no decorated names, as programs loading the library expect.

#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include "EmuAspiLibrary.h"

namespace {

constexpr uint8_t kStatusError = 0x04;
constexpr uint32_t kSupportNoAdapters = 0x0100;  // completed, 0 adapters
constexpr uint8_t kStatusInvalidSrb = 0xE0;

// Calls share the lock; installing a handler takes it exclusively, so once
// TovikEmuAspi_setTarget returns no call is still running in the old handler.
std::shared_mutex gLock;
emu::AspiSendHandler gSend = nullptr;
emu::AspiSupportHandler gSupport = nullptr;
void* gContext = nullptr;

}  // namespace

extern "C" {

uint32_t __cdecl SendASPI32Command(void* srb) {
  if (!srb) return kStatusInvalidSrb;
  std::shared_lock<std::shared_mutex> lock(gLock);
  if (gSend) return gSend(gContext, srb);
  static_cast<uint8_t*>(srb)[1] = kStatusError;
  return kStatusError;
}

uint32_t __cdecl GetASPI32SupportInfo() {
  std::shared_lock<std::shared_mutex> lock(gLock);
  if (gSupport) return gSupport(gContext);
  return kSupportNoAdapters;
}

void __cdecl TovikEmuAspi_setTarget(emu::AspiSendHandler send, emu::AspiSupportHandler support,
                                    void* context) {
  std::unique_lock<std::shared_mutex> lock(gLock);
  gSend = send;
  gSupport = send ? support : nullptr;
  gContext = send ? context : nullptr;
}

}  // extern "C"
