// The SDK's entry points.
#include "../PDKSDK.h"

#include "ConnectionSingleton.h"
#include "HotplugWindowCloser.h"
#include "PDKImpl.h"
#include "PDKSDK.h"
#include "SrvProxy.h"

int PDKSDK_init() {
  // The process-wide objects exist before the application and the poll thread
  // run: the closer reads the system's caption when it is built, which must
  // not happen first on the poll thread with the SDK lock held.
  CPDKImpl::nullDevice();
  pdkos::CHotplugWindowCloser::instance();
  CSrvProxy::instance();
  CConnectionSingleton::Init();
  return CPDKSDK::init();
}

void PDKSDK_fini() {
  CPDKSDK::fini();
  CConnectionSingleton::fini();
}

const char* PDKSDK_getVersion() { return "3.0.10.8"; }
