// Dismounts and locks every volume of one drive before its layout or its
// sectors change under a mounted file system, and undoes it again. Made on the
// stack for one operation and gone at its end; used by one thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "CurrentDirectory.h"
#include "DeviceHandle.h"
#include "DeviceParams.h"

class IConnection;

class CDiskUtils {
 public:
  // Volume control codes; they go out without buffers, and only on the NT
  // family (OS kinds 5 to 7): elsewhere each counts as done.
  static constexpr uint32_t kFsctlLockVolume = 0x00090018;
  static constexpr uint32_t kFsctlUnlockVolume = 0x0009001C;
  static constexpr uint32_t kFsctlDismountVolume = 0x00090020;
  static constexpr int kLetterCount = 26;

  // `connection` builds the volume paths; it and `directory` must outlive this
  // object. With `releaseOnDestroy` the destructor unlocks and closes every
  // handle still held; without it those handles stay open, and locked, for the
  // rest of the process, so a handle returned by openAndLockAll() stays usable
  // after this object is gone.
  CDiskUtils(IConnection& connection, bool releaseOnDestroy,
             pdkos::ICurrentDirectory& directory = pdkos::platformCurrentDirectory());
  ~CDiskUtils();
  CDiskUtils(const CDiskUtils&) = delete;
  CDiskUtils& operator=(const CDiskUtils&) = delete;

  // Only the letters 'A' to 'Y' are handled; any other character fails.

  // Dismounts the volume through the handle this object holds for it, or through
  // one opened and locked for the call alone and released at once.
  bool dismountVolume(char letter);
  // dismountVolume for each letter of params.driveMask, ascending, up to the first failure.
  bool dismountAll(const DeviceParams& params);
  // Opens and locks the volume, moving the current directory to the Windows
  // directory while it lay on that letter. The handle stays owned by this object
  // and carries params; a letter already held returns the handle held. nullptr on failure.
  CDeviceHandle* openAndLockVolume(char letter, const DeviceParams& params);
  // openAndLockVolume for every letter of the mask, ascending; the result is the
  // last letter's (nullptr for an empty mask).
  CDeviceHandle* openAndLockAll(const DeviceParams& params);
  // Unlocks and closes the volume's handle and moves the current directory back.
  // False when no handle is held or the unlock failed.
  bool unlockVolume(char letter);
  // unlockVolume for every letter of the mask; true only when all succeeded.
  bool unlockAll(const DeviceParams& params);
  // Unlocks an open handle; true for a null or closed handle.
  static bool unlockHandle(CDeviceHandle* handle);

 private:
  struct Slot {
    std::unique_ptr<CDeviceHandle> handle;
    // Whether opening gave an operating-system handle: the ME transport opens
    // nothing, so a closed handle is only invalid when it was once open.
    bool hadOsHandle = false;
    std::optional<std::string> savedDirectory;
  };

  static int slotIndex(char letter);  // -1 outside 'A'..'Y'
  static bool ntFamily();
  static bool sendVolumeCode(CDeviceHandle& handle, uint32_t code);
  static bool valid(const Slot& slot);
  void leaveVolume(Slot& slot);
  void restoreDirectory(Slot& slot);

  IConnection& m_connection;
  pdkos::ICurrentDirectory& m_directory;
  bool m_releaseOnDestroy;
  std::array<Slot, kLetterCount> m_slots;
};
