// The SDK's entry points.
#include "../PDKSDK.h"

#include "ConnectionSingleton.h"
#include "PDKSDK.h"

int PDKSDK_init() {
  CConnectionSingleton::Init();
  return CPDKSDK::init();
}

void PDKSDK_fini() {
  CPDKSDK::fini();
  CConnectionSingleton::fini();
}

const char* PDKSDK_getVersion() { return "3.0.10.8"; }
