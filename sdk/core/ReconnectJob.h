// One drive told to drop off the bus and come back. While the job is active
// detection hides the drive's removal and lets its return wake the job.
#pragma once

#include <cstdint>

#include "DeviceParams.h"
#include "PDKEvent.h"

class CDeviceHandle;

class CReconnectJob {
 public:
  // handle: what the detach command goes through; it must outlive the job.
  CReconnectJob(const DeviceParams& params, CDeviceHandle& handle, uint32_t waitLimitSeconds,
                uint8_t bootFlag, uint8_t reportIfLost);
  CReconnectJob(const CReconnectJob&) = delete;
  CReconnectJob& operator=(const CReconnectJob&) = delete;

  const DeviceParams& params() const { return m_params; }
  CDeviceHandle& handle() { return m_handle; }
  CPDKEvent& event() { return m_event; }
  uint32_t waitLimitSeconds() const { return m_waitLimitSeconds; }
  uint8_t bootFlag() const { return m_bootFlag; }
  bool reportIfLost() const { return m_reportIfLost != 0; }

  // The drive has left the bus. Read and written under the SDK lock.
  bool gone() const { return m_gone; }
  void setGone() { m_gone = true; }

 private:
  DeviceParams m_params;
  CDeviceHandle& m_handle;
  CPDKEvent m_event{false, false};
  bool m_gone = false;
  uint32_t m_waitLimitSeconds;
  uint8_t m_bootFlag;
  uint8_t m_reportIfLost;
};
