#include "PDKSDK.h"

#include <atomic>

#include "LazyInstance.h"
#include "PDKCriticalSection.h"
#include "PDKException.h"
#include "PDKLockGuard.h"
#include "PDKTrace.h"

namespace {

std::atomic<CPDKSDK*> g_sdk{nullptr};
// Its presence marks the SDK as initialised; it serialises making the object.
std::atomic<CPDKCriticalSection*> g_initGuard{nullptr};
std::atomic<CPDKCriticalSection*> g_sdkLock{nullptr};
int g_initCalls = 0;

}  // namespace

CPDKSDK::CPDKSDK() = default;
CPDKSDK::~CPDKSDK() = default;

int CPDKSDK::init() {
  if (g_initCalls < 1) {
    g_sdk.store(nullptr);
    g_initGuard.store(new CPDKCriticalSection);
    g_sdkLock.store(new CPDKCriticalSection);
  } else {
    PDKTrace("Init method called twice in application\n");
  }
  return ++g_initCalls;
}

void CPDKSDK::fini() {
  CPDKCriticalSection* lock = g_sdkLock.load();
  if (lock == nullptr || g_initGuard.load() == nullptr) {
    PDKTrace("CPDKSDK::fini() called before init()\n");
    return;
  }
  {
    CPDKLockGuard guard(lock);
    delete g_sdk.exchange(nullptr);
    delete g_initGuard.exchange(nullptr);
  }
  delete g_sdkLock.exchange(nullptr);
}

CPDKSDK& CPDKSDK::instance() {
  return pdk::lazyInstance(g_sdk, g_initGuard.load(), [] { return new CPDKSDK; });
}

CPDKCriticalSection& CPDKSDK::sdkLock() {
  CPDKCriticalSection* lock = g_sdkLock.load();
  if (lock == nullptr) pdk::throwNotInitialised();
  return *lock;
}
