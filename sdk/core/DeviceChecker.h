// The recognise step detection runs on every announced volume: is it one of
// our drives, and which. Tests install their own to drive detection without
// drives.
#pragma once

#include "DeviceParams.h"

class CDeviceChecker {
 public:
  virtual ~CDeviceChecker();
  // Fills p from the drive and sets p.status (0, 9, 11 or left at 8 when the
  // drive cannot be reached).
  virtual void recognise(DeviceParams& p);
};
