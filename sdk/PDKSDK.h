// The device SDK's public interface: what an application needs to find the
// maker's drives and work with them.
//  - PDKSDK_init / PDKSDK_fini frame every other use; PDKSDK_getErrorString
//    names the codes every operation returns (pdk::ErrorCode).
//  - CDeviceListener: derive from it and call startListen() to be told of
//    drives arriving, leaving and changing letters (DeviceParams).
//  - CPDK: the handle on one drive; attach it to the params a listener was
//    given (or to a drive letter) and ask it for capacity, serial, letters,
//    write protection, eject, image writing and the visible partition.
//  - CPDK::deposit() (CPDKDeposit) is the drive's privacy zone, configured
//    with DepositParams and reporting long operations to an IDepositNotify;
//    CPDK::cookies() (CPDKCookie) is the drive's hidden-area cookie store.
//  - pdk::CPDKException is thrown only by SDK objects used before init.
#pragma once

#include "core/DeviceListener.h"
#include "core/DeviceParams.h"
#include "core/PDK.h"
#include "core/PDKCookie.h"
#include "core/PDKDeposit.h"
#include "core/PDKErrors.h"
#include "core/PDKException.h"
#include "storage/DepositNotify.h"
#include "storage/DepositParams.h"

// Starts the SDK; returns how often it has been called (1 the first time).
int PDKSDK_init();
// Stops the SDK. A later PDKSDK_init does not start it again.
void PDKSDK_fini();
// The SDK's version text.
const char* PDKSDK_getVersion();
