// The SDK's device table: 128 slots, the slot number is the device id. A slot
// whose drive left (8) or was not recognised (9) is free for the next one.
#pragma once

#include <cstdint>
#include <memory>

#include "DeviceParams.h"

class CPDKImpl;

class CDeviceManager {
 public:
  static constexpr int kSlotCount = 128;

  CDeviceManager();
  ~CDeviceManager();
  CDeviceManager(const CDeviceManager&) = delete;
  CDeviceManager& operator=(const CDeviceManager&) = delete;

  // Takes in an arriving drive. A drive already held (same serial) gets the
  // letters merged and p turns into the report of the change (status 10, the
  // new mask); -1 when nothing changed. Otherwise the drive takes the first
  // free slot. Returns the id to report, or -1 when there is nothing to report
  // (also when every slot is taken).
  int addDevice(DeviceParams& p);
  // Marks the first connected drive sharing a letter with p as gone (status
  // 8) and returns it; null when there is none.
  CPDKImpl* removeDevice(const DeviceParams& p);

  // The slot of an id; null for an id out of range or a slot never used.
  CPDKImpl* slot(int id) const;
  // The first slot holding a drive (not free) whose letters include the letter.
  CPDKImpl* findByLetter(char letter) const;
  // The first unrecognised drive with p's vendor, product and serial.
  CPDKImpl* findUnrecognised(const DeviceParams& p) const;

 private:
  std::unique_ptr<CPDKImpl> m_slots[kSlotCount];
};
