#include "FixedDiskLayout.h"

#include <cstring>
#include <stdexcept>

namespace emu {

namespace {

constexpr size_t kTableOffset = 446;
constexpr size_t kEntryLength = 16;
constexpr uint32_t kHeads = 255;
constexpr uint32_t kSectorsPerTrack = 63;
constexpr uint32_t kMaxCylinder = 1023;

void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Cylinder/head/sector bytes of an LBA for a 255-head, 63-sector geometry; past
// cylinder 1023 they saturate, as the LBA fields carry the real position.
void putChs(uint8_t* p, uint32_t lba) {
  uint32_t cylinder = lba / (kHeads * kSectorsPerTrack);
  uint32_t head = (lba / kSectorsPerTrack) % kHeads;
  uint32_t sector = lba % kSectorsPerTrack + 1;
  if (cylinder > kMaxCylinder) {
    cylinder = kMaxCylinder;
    head = kHeads - 1;
    sector = kSectorsPerTrack;
  }
  p[0] = uint8_t(head);
  p[1] = uint8_t(sector | ((cylinder >> 2) & 0xC0));
  p[2] = uint8_t(cylinder);
}

void putEntry(uint8_t* entry, uint32_t start, uint32_t count) {
  std::memset(entry + 1, 0, kEntryLength - 1);
  if (count == 0) {
    entry[0] = 0;
    return;
  }
  putChs(entry + 1, start);
  entry[4] = CFixedDiskLayout::kPartitionType;
  putChs(entry + 5, start + count - 1);
  putLe32(entry + 8, start);
  putLe32(entry + 12, count);
}

}  // namespace

CFixedDiskLayout::CFixedDiskLayout(uint32_t flashSectors, uint32_t factorA, uint32_t factorB)
    : factorA_(factorA), factorB_(factorB) {
  const uint64_t unit = uint64_t(factorA) * factorB;
  if (unit <= kFirstPartitionStart)
    throw std::invalid_argument("a fixed-disk unit must be longer than one track");
  if (unit > flashSectors) throw std::invalid_argument("the flash holds less than one unit");
  unitSectors_ = uint32_t(unit);
  totalUnits_ = flashSectors / unitSectors_;
}

void CFixedDiskLayout::record(uint8_t* out) const {
  putLe32(out, totalUnits_);
  putLe32(out + 4, factorA_);
  putLe32(out + 8, factorB_);
  putLe32(out + 12, 0);
  putLe32(out + 16, safeUnits_);
  putLe32(out + 20, dummyUnits_);
  putLe32(out + 24, safePresented_ ? 1 : 0);
}

bool CFixedDiskLayout::configure(uint32_t safeUnits, uint32_t dummyUnits) {
  if (uint64_t(safeUnits) + dummyUnits >= totalUnits_) return false;
  safeUnits_ = safeUnits;
  dummyUnits_ = dummyUnits;
  safePresented_ = false;
  return true;
}

bool CFixedDiskLayout::presentSafe() {
  if (!hasSafe()) return false;
  safePresented_ = true;
  return true;
}

uint32_t CFixedDiskLayout::publicSectors() const {
  return (totalUnits_ - safeUnits_ - dummyUnits_) * unitSectors_;
}

uint32_t CFixedDiskLayout::slotSectors() const {
  return (safePresented_ ? safeUnits_ : dummyUnits_) * unitSectors_;
}

bool CFixedDiskLayout::toFlash(uint32_t diskLba, uint32_t& flashLba) const {
  const uint32_t publicEnd = publicSectors();
  if (diskLba < publicEnd) {
    flashLba = diskLba;
    return true;
  }
  if (diskLba - publicEnd >= slotSectors()) return false;
  // The safe partition lies behind the dummy one on the flash.
  const uint32_t slotFlash = safePresented_ ? publicEnd + dummyUnits_ * unitSectors_ : publicEnd;
  flashLba = slotFlash + (diskLba - publicEnd);
  return true;
}

void CFixedDiskLayout::writePartitionTable(uint8_t* sector0) const {
  uint8_t* table = sector0 + kTableOffset;
  const uint32_t publicEnd = publicSectors();
  putEntry(table, kFirstPartitionStart, publicEnd - kFirstPartitionStart);
  putEntry(table + kEntryLength, publicEnd, slotSectors());
  table[kEntryLength] = 0;  // only the public partition may be the boot one
  std::memset(table + 2 * kEntryLength, 0, 2 * kEntryLength);
  sector0[510] = 0x55;
  sector0[511] = 0xAA;
}

}  // namespace emu
