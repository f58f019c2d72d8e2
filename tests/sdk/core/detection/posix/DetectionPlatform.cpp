#include "../DetectionPlatform.h"

#include "OSKind.h"

void prepareDetectionPlatform() { setOSKindForTesting(pdk::kOSWinNT4); }

void registerDrive(const emu::CEmulatedDrive&, const std::vector<char>&, emu::CEmuDevicePort&) {}

void unregisterDrives(emu::CEmuDevicePort&) {}

void connectAspi(emu::CEmuAspiTarget*) {}
