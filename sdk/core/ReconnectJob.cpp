#include "ReconnectJob.h"

CReconnectJob::CReconnectJob(const DeviceParams& params, CDeviceHandle& handle,
                             uint32_t waitLimitSeconds, uint8_t bootFlag, uint8_t reportIfLost)
    : m_params(params),
      m_handle(handle),
      m_waitLimitSeconds(waitLimitSeconds),
      m_bootFlag(bootFlag),
      m_reportIfLost(reportIfLost) {}
