// How a removable drive divides its flash into a public and a safe partition,
// and which of the two it presents. The public partition is the front of the
// flash, the safe one its tail; the presented partition starts at LBA 0.
// Passwords are the drive's business, not this class's.
#pragma once

#include <cstdint>

namespace emu {

class CRemovableLayout {
 public:
  static constexpr uint32_t kRecordLength = 20;

  // Throws std::invalid_argument when either count is zero.
  CRemovableLayout(uint32_t totalSectors, uint32_t unitSectors);

  // The configuration record: deposit flag, total sectors, safe sectors, safe
  // presented, sectors per unit; five 32-bit little-endian words.
  void record(uint8_t* out) const;

  // A new layout with safeUnits units of safe space, the public partition
  // presented. False, and nothing changes, when no public sector would remain.
  bool configure(uint32_t safeUnits);

  bool hasSafe() const { return safeSectors_ > 0; }
  bool safePresented() const { return safePresented_; }
  void presentPublic() { safePresented_ = false; }
  // Only with a safe partition; false otherwise and nothing changes.
  bool presentSafe();

  uint32_t safeSectors() const { return safeSectors_; }
  uint32_t safeUnits() const { return safeSectors_ / unitSectors_; }
  uint32_t presentedSectors() const;
  // The flash sector behind a sector of the presented partition
  // (presentedLba < presentedSectors()).
  uint32_t toFlash(uint32_t presentedLba) const;

 private:
  uint32_t totalSectors_;
  uint32_t unitSectors_;
  uint32_t safeSectors_ = 0;
  bool safePresented_ = false;
};

}  // namespace emu
