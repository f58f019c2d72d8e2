#include "PendingArrival.h"

#include "PDKClock.h"

CPendingArrival::CPendingArrival(const DeviceParams& params, uint32_t delayMs)
    : m_tick(pdkos::tickCount()), m_delay(delayMs), m_params(params) {}

void CPendingArrival::touch() {
  m_tick = pdkos::tickCount();
  if (++m_touches == 2) m_delay *= kTouchedDelayFactor;
}

bool CPendingArrival::isDueNow() const {
  // Unsigned differences stay right when the tick count wraps.
  return pdkos::tickCount() - m_tick > m_delay || m_touches >= kDueTouches;
}

bool CPendingArrival::due() {
  ++m_checks;
  return isDueNow();
}

int CPendingArrival::expiry() {
  if (pdkos::tickCount() - m_tick > kExpiryMs) ++m_touches;
  return m_touches;
}
