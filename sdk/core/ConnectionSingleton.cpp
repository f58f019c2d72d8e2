#include "ConnectionSingleton.h"

#include <atomic>

#include "98Connection.h"
#include "LazyInstance.h"
#include "MEConnection.h"
#include "NTConnection.h"
#include "OSKind.h"
#include "PDKTrace.h"

namespace {

// Atomic so that threads asking for the transport see it made exactly once.
std::atomic<IConnection*> g_connection{nullptr};
std::atomic<CPDKCriticalSection*> g_connectionLock{nullptr};
int g_initCalls = 0;

IConnection* createConnection() {
  switch (GetOSKind()) {
    case pdk::kOSWin98SE:
      return new C98Connection;
    case pdk::kOSWinME:
      return new CMEConnection;
    default:
      return new CNTConnection;
  }
}

}  // namespace

void CConnectionSingleton::Init() {
  if (g_initCalls < 1) {
    g_connection = nullptr;
    g_connectionLock = new CPDKCriticalSection;
  } else {
    PDKTrace("Init method called twice in application\n");
  }
  ++g_initCalls;
}

void CConnectionSingleton::fini() {
  if (g_connectionLock == nullptr) {
    PDKTrace("CConnectionSingleton::fini() called before init()\n");
    return;
  }
  delete g_connection.exchange(nullptr);
  delete g_connectionLock.exchange(nullptr);
}

IConnection& CConnectionSingleton::instance() {
  return pdk::lazyInstance(g_connection, g_connectionLock.load(), createConnection);
}
