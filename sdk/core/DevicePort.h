// The one seam between the SDK and the operating system's device calls.
// The platform port opens volumes and sends control codes for real; tests and
// the virtual-drive mode install a port that decodes the same request blocks
// and hands the CDB to the emulated drive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pdk {

using PDKHandle = void*;
inline PDKHandle invalidHandle() { return reinterpret_cast<PDKHandle>(static_cast<intptr_t>(-1)); }

// Windows error codes the SDK tells apart when a handle cannot be opened.
constexpr uint32_t kWinErrorFileNotFound = 2;
constexpr uint32_t kWinErrorSharingViolation = 32;

class IDevicePort {
 public:
  virtual ~IDevicePort() = default;
  // Opens path for reading and writing, shared, existing only. On failure returns
  // invalidHandle() and the Windows error code in *error.
  virtual PDKHandle open(const char* path, uint32_t* error) = 0;
  virtual void close(PDKHandle handle) = 0;
  // Sends a control code; true when the call itself succeeded. *returned gets the
  // number of bytes placed in out.
  virtual bool control(PDKHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
                       uint32_t outLength, uint32_t* returned) = 0;
  // The volumes of the system. A port that knows none keeps these answers.
  // The letters of the system's volumes, ascending, upper case.
  virtual std::vector<char> logicalDriveLetters() { return {}; }
  // Whether the volume of that letter holds removable media.
  virtual bool isRemovableDrive(char) { return false; }
  // Whether the root of the volume can be read and written: it is mounted.
  virtual bool isVolumeAccessible(char) { return false; }
  // The names in the root directory of the volume of that letter, in the
  // order the file system lists them; empty when it cannot be read.
  virtual std::vector<std::string> rootEntries(char) { return {}; }
};

// The port in use: the one installed last, or the platform's own.
IDevicePort& devicePort();
// Installs a port (nullptr goes back to the platform's own). The caller keeps ownership.
void setDevicePort(IDevicePort* port);

}  // namespace pdk
