#include "DebugOutput.h"

#include <utility>

#include "OSPlatform.h"
#include "PDKCriticalSection.h"
#include "PDKLockGuard.h"

namespace {

struct HookSlot {
  CPDKCriticalSection mutex;
  std::function<void(const char*)> hook;
};

// Never destroyed: objects torn down at exit may still write output.
HookSlot& hookSlot() {
  static HookSlot* const slot = new HookSlot();
  return *slot;
}

}  // namespace

namespace pdkos {

void debugOutput(const char* text) {
  if (text == nullptr) return;
  std::function<void(const char*)> hook;
  {
    CPDKLockGuard lock(&hookSlot().mutex);
    hook = hookSlot().hook;
  }
  // Called outside the lock so a hook may itself write output or change the hook.
  if (hook) {
    hook(text);
  } else {
    platform::debugOutput(text);
  }
}

void setDebugOutputHook(std::function<void(const char*)> hook) {
  CPDKLockGuard lock(&hookSlot().mutex);
  hookSlot().hook = std::move(hook);
}

}  // namespace pdkos
