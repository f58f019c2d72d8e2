// What the system would know of an emulated drive: the registry entries each
// Windows kind looks a drive up in, and the ASPI library of Windows ME. Under
// Wine these are written for real; natively there is no registry and detection
// runs as on NT 4, which needs none.
#pragma once

#include <string>
#include <vector>

namespace emu {
class CEmulatedDrive;
class CEmuDevicePort;
class CEmuAspiTarget;
}  // namespace emu

// Natively: pretends to be NT 4. Under Wine: checks the version Wine reports is
// the one the test run was started for (TOVIK_EXPECT_OSKIND), else fails.
void prepareDetectionPlatform();

// Writes the entries for a drive the bus puts on these letters.
void registerDrive(const emu::CEmulatedDrive& drive, const std::vector<char>& letters,
                   emu::CEmuDevicePort& port);
// The path the 98 SE transport opens for a drive registerDrive wrote: the
// USB driver's device, not the volume.
std::string win98DevicePath(const emu::CEmulatedDrive& drive);
// Removes every entry registerDrive wrote.
void unregisterDrives(emu::CEmuDevicePort& port);

// Points the ASPI library at the target (null: away again).
void connectAspi(emu::CEmuAspiTarget* target);
