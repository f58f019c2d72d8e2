// The emulated ASPI library. It holds no drive of its own: a program in the same
// process installs its handler with TovikEmuAspi_setTarget, and every ASPI call
// is passed to it. Exported by name only (see wnaspi32.def), so the 32-bit build
// carries no decorated names, as programs loading the library expect.

#include <cstdint>

#include "EmuAspiLibrary.h"
#include "PDKCriticalSection.h"
#include "PDKEvent.h"
#include "PDKLockGuard.h"

namespace {

constexpr uint8_t kStatusError = 0x04;
constexpr uint32_t kSupportNoAdapters = 0x0100;  // completed, 0 adapters
constexpr uint8_t kStatusInvalidSrb = 0xE0;

// Calls run side by side, each counted while it is in its handler; installing
// a handler waits until none is, so once TovikEmuAspi_setTarget returns no call
// is still running in the old handler.
CPDKCriticalSection gLock;  // the handlers and the count of calls
emu::AspiSendHandler gSend = nullptr;
emu::AspiSupportHandler gSupport = nullptr;
void* gContext = nullptr;
int gCalls = 0;
CPDKEvent gNoCalls(true, true);  // set while gCalls is 0

// One call's hold on the handlers it copied.
class Call {
 public:
  Call() {
    CPDKLockGuard guard(&gLock);
    if (gCalls++ == 0) gNoCalls.reset();
    send = gSend;
    support = gSupport;
    context = gContext;
  }
  ~Call() {
    CPDKLockGuard guard(&gLock);
    if (--gCalls == 0) gNoCalls.set();
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  emu::AspiSendHandler send;
  emu::AspiSupportHandler support;
  void* context;
};

}  // namespace

extern "C" {

uint32_t __cdecl SendASPI32Command(void* srb) {
  if (!srb) return kStatusInvalidSrb;
  const Call call;
  if (call.send) return call.send(call.context, srb);
  static_cast<uint8_t*>(srb)[1] = kStatusError;
  return kStatusError;
}

uint32_t __cdecl GetASPI32SupportInfo() {
  const Call call;
  if (call.support) return call.support(call.context);
  return kSupportNoAdapters;
}

void __cdecl TovikEmuAspi_setTarget(emu::AspiSendHandler send, emu::AspiSupportHandler support,
                                    void* context) {
  for (;;) {
    {
      CPDKLockGuard guard(&gLock);
      if (gCalls == 0) {
        gSend = send;
        gSupport = send ? support : nullptr;
        gContext = send ? context : nullptr;
        return;
      }
    }
    gNoCalls.wait(CPDKEvent::kInfinite);
  }
}

}  // extern "C"
