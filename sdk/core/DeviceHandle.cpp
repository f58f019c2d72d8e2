#include "DeviceHandle.h"

#include "Connection.h"
#include "OSKind.h"
#include "SrvProxy.h"

CDeviceHandle::CDeviceHandle(const DeviceParams& params, const CDeviceHandle* borrowFrom)
    : m_ownParams(params),
      m_params(&m_ownParams),
      m_handle(pdk::invalidHandle()),
      m_closed(true),
      m_mode(0),
      m_owns(true) {
  borrow(borrowFrom);
}

CDeviceHandle::CDeviceHandle(char driveLetter, const CDeviceHandle* borrowFrom)
    : CDeviceHandle(DeviceParams::forLetter(driveLetter), borrowFrom) {}

CDeviceHandle::~CDeviceHandle() { close(); }

void CDeviceHandle::borrow(const CDeviceHandle* other) {
  if (other == nullptr || !other->isOpen()) return;
  m_handle = other->m_handle;
  m_closed = false;
  m_owns = false;
}

int CDeviceHandle::mapOpenError(uint32_t windowsError) {
  if (windowsError == pdk::kWinErrorFileNotFound) return pdk::kNotConnected;
  if (windowsError == pdk::kWinErrorSharingViolation) return pdk::kCantAccessDevice;
  return pdk::kGeneralError;
}

int CDeviceHandle::open(IConnection& connection, int mode) {
  if (mode != 0 && mode != 1) return -1;
  m_mode = mode;
  // ASPI addresses the drive by adapter and target: there is nothing to open.
  if (GetOSKind() == pdk::kOSWinME) return pdk::kOk;
  if (isOpen()) return pdk::kOk;

  DeviceParams& p = params();
  if (p.path[0] == '\0') {
    const char letter = pdk::lowestLetter(p.driveMask);
    // Without a letter or a path there is nothing Windows could open: that counts
    // as any other open failure.
    if (letter == '\0' || !connection.buildVolumePath(letter, p.path, sizeof(p.path))) {
      return pdk::kGeneralError;
    }
  }

  uint32_t error = 0;
  pdk::PDKHandle h = pdk::devicePort().open(p.path, &error);
  if (h == pdk::invalidHandle()) h = CSrvProxy::instance().openHandle(p.path);
  if (h == pdk::invalidHandle()) return mapOpenError(error);

  m_handle = h;
  m_closed = false;
  m_owns = true;
  return pdk::kOk;
}

void CDeviceHandle::close() {
  if (!m_owns || m_closed) return;
  params().path[0] = '\0';
  pdk::devicePort().close(m_handle);
  m_handle = pdk::invalidHandle();
  m_closed = true;
}

CDeviceHandle::ScopedOpen::ScopedOpen(CDeviceHandle& handle, IConnection& connection)
    : m_handle(handle), m_opened(!handle.isOpen()), m_result(handle.open(connection)) {
  if (m_result != pdk::kOk) m_opened = false;
}

CDeviceHandle::ScopedOpen::~ScopedOpen() {
  if (m_opened) m_handle.close();
}
