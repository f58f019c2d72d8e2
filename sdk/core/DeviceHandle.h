// A Windows handle on a drive's volume (or, on 98 SE, its USB device), opened
// for one command at a time unless a caller keeps it open.
#pragma once

#include <cstdint>

#include "DeviceParams.h"
#include "DevicePort.h"

class IConnection;

class CDeviceHandle {
 public:
  // A handle for a drive. When `borrowFrom` is open, its handle is used and never
  // closed by this object.
  explicit CDeviceHandle(const DeviceParams& params, const CDeviceHandle* borrowFrom = nullptr);
  // A handle for a drive known only by its letter.
  explicit CDeviceHandle(char driveLetter, const CDeviceHandle* borrowFrom = nullptr);
  ~CDeviceHandle();
  CDeviceHandle(const CDeviceHandle&) = delete;
  CDeviceHandle& operator=(const CDeviceHandle&) = delete;

  // Opens the handle (mode 0 or 1). Returns 0, or the SDK code of the failure:
  // 8 when the volume does not exist, 2 when it is in use, 1 otherwise.
  int open(IConnection& connection, int mode = 0);
  // Closes the handle when this object owns an open one.
  void close();

  bool isOpen() const { return !m_closed; }
  bool ownsHandle() const { return m_owns; }
  pdk::PDKHandle handle() const { return m_handle; }
  DeviceParams& params() { return *m_params; }
  const DeviceParams& params() const { return *m_params; }

  // Keeps the handle open for the length of one command.
  class ScopedOpen {
   public:
    ScopedOpen(CDeviceHandle& handle, IConnection& connection);
    ~ScopedOpen();
    ScopedOpen(const ScopedOpen&) = delete;
    ScopedOpen& operator=(const ScopedOpen&) = delete;
    int result() const { return m_result; }

   private:
    CDeviceHandle& m_handle;
    bool m_opened;
    int m_result;
  };

 private:
  void borrow(const CDeviceHandle* other);
  static int mapOpenError(uint32_t windowsError);

  DeviceParams m_ownParams;
  DeviceParams* m_params;
  pdk::PDKHandle m_handle;
  bool m_closed;
  int m_mode;
  bool m_owns;
};
