// How a drive that presents itself as a fixed disk lays out its privacy zone.
// The flash holds [public][dummy][safe], each a whole number of units. The disk
// the host sees is always total units long: [public][second slot][gap], where
// the second slot shows the dummy partition or, once the password was given,
// the safe one, and the gap is whatever the other slot partition leaves over.
// No flash lies behind the gap. Passwords are the drive's business.
#pragma once

#include <cstdint>

namespace emu {

class CFixedDiskLayout {
 public:
  static constexpr uint32_t kRecordLength = 28;
  // The public partition's entry starts one track in, as disks are laid out
  // for 63 sectors per track; so a unit must hold more than that.
  static constexpr uint32_t kFirstPartitionStart = 63;
  static constexpr uint8_t kPartitionType = 0x06;  // FAT16; the host formats the volumes

  // unit = factorA × factorB sectors; total units = flashSectors / unit.
  // Throws std::invalid_argument when a unit is not longer than
  // kFirstPartitionStart sectors or the flash holds less than one unit.
  CFixedDiskLayout(uint32_t flashSectors, uint32_t factorA, uint32_t factorB);

  // The configuration record: total units, factor A, factor B, 0, safe units,
  // dummy units, safe presented; seven 32-bit little-endian words.
  void record(uint8_t* out) const;

  // A new layout with the dummy partition in the second slot. False, and nothing
  // changes, when no public unit would remain.
  bool configure(uint32_t safeUnits, uint32_t dummyUnits);

  bool hasSafe() const { return safeUnits_ > 0; }
  uint32_t safeUnits() const { return safeUnits_; }
  uint32_t dummyUnits() const { return dummyUnits_; }
  bool safePresented() const { return safePresented_; }
  void presentDummy() { safePresented_ = false; }
  // Only with a safe partition; false otherwise and nothing changes.
  bool presentSafe();

  uint32_t diskSectors() const { return totalUnits_ * unitSectors_; }
  uint32_t publicSectors() const;
  uint32_t slotSectors() const;  // the partition shown in the second slot
  // The flash sector behind a disk sector; false for the gap (and past the end).
  bool toFlash(uint32_t diskLba, uint32_t& flashLba) const;

  // Rewrites the partition table of sector 0 (512 bytes) for the presented
  // layout: entry 0 the public partition, entry 1 the second slot (all zero when
  // it is empty), entries 2 and 3 zero, signature 55 AA. The boot code and the
  // boot indicator of entry 0 stay as they were.
  void writePartitionTable(uint8_t* sector0) const;

  uint32_t lunMode() const { return lunMode_; }
  void setLunMode(uint32_t mode) { lunMode_ = mode; }

 private:
  uint32_t factorA_;
  uint32_t factorB_;
  uint32_t unitSectors_;
  uint32_t totalUnits_;
  uint32_t safeUnits_ = 0;
  uint32_t dummyUnits_ = 0;
  bool safePresented_ = false;
  uint32_t lunMode_ = 0;
};

}  // namespace emu
