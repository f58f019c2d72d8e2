// The device SDK's public interface.
#pragma once

#include "core/DeviceListener.h"
#include "core/DeviceParams.h"
#include "core/PDKErrors.h"
#include "core/PDKException.h"

// Starts the SDK; returns how often it has been called (1 the first time).
int PDKSDK_init();
// Stops the SDK. A later PDKSDK_init does not start it again.
void PDKSDK_fini();
// The SDK's version text.
const char* PDKSDK_getVersion();
