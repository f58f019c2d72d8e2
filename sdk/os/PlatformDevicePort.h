// The operating system's own device calls behind the SDK's port seam.
#pragma once

#include "DevicePort.h"

namespace pdkos {

// CreateFileA, DeviceIoControl and CloseHandle on Windows. Elsewhere there are no
// Windows device paths: every open reports the path as not found, and there
// are no drive letters.
pdk::IDevicePort& platformDevicePort();

}  // namespace pdkos
