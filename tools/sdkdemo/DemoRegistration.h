// What Windows 2000 and XP write when a drive is plugged in: the drive's USB
// instance, which detection checks before it reports the drive. The demo's
// emulated drive never passes through Windows' own plug-and-play, so the demo
// writes the entry itself and removes it again.
#pragma once

#include <string>

// True when the entry is there (or the system keeps no such entries).
bool registerDemoDrive(const std::string& serial);
void unregisterDemoDrive(const std::string& serial);
