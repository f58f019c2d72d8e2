// A drive letter Windows announced and detection has not processed yet. It
// waits out a settling delay; a letter that comes and goes meanwhile waits
// much longer, so a drive that is still settling is not taken in half-mounted.
#pragma once

#include <cstdint>

#include "DeviceParams.h"

class CPendingArrival {
 public:
  // Once touched, the delay grows by this factor.
  static constexpr uint32_t kTouchedDelayFactor = 10;
  // So many touches make an arrival due at once.
  static constexpr int kDueTouches = 5;
  // Older than this, an arrival counts as touched again.
  static constexpr uint32_t kExpiryMs = 30000;

  CPendingArrival(const DeviceParams& params, uint32_t delayMs);

  // The letter was announced again (or removed): restart the wait.
  void touch();
  // Counts a check; true once the delay has passed or after many touches.
  bool due();
  uint32_t dueTime() const { return m_tick + m_delay; }
  // Counts an old arrival as touched; returns the touch count.
  int expiry();
  // Without counting a check: whether due() would answer true now.
  bool isDueNow() const;

  DeviceParams& params() { return m_params; }
  const DeviceParams& params() const { return m_params; }
  uint32_t tick() const { return m_tick; }
  int touches() const { return m_touches; }
  uint32_t delay() const { return m_delay; }
  int checks() const { return m_checks; }

 private:
  uint32_t m_tick;
  int m_touches = 1;
  uint32_t m_delay;
  int m_checks = 0;
  DeviceParams m_params;
};
