#include "RemovableLayout.h"

#include <stdexcept>

namespace emu {

namespace {

// The model's drive always supports the privacy zone.
constexpr uint32_t kDepositFlag = 1;

void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

CRemovableLayout::CRemovableLayout(uint32_t totalSectors, uint32_t unitSectors)
    : totalSectors_(totalSectors), unitSectors_(unitSectors) {
  if (totalSectors == 0) throw std::invalid_argument("a layout needs at least one sector");
  if (unitSectors == 0) throw std::invalid_argument("an allocation unit needs at least one sector");
}

void CRemovableLayout::record(uint8_t* out) const {
  putLe32(out, kDepositFlag);
  putLe32(out + 4, totalSectors_);
  putLe32(out + 8, safeSectors_);
  putLe32(out + 12, safePresented_ ? 1 : 0);
  putLe32(out + 16, unitSectors_);
}

bool CRemovableLayout::configure(uint32_t safeUnits) {
  // 64 bits: the host's unit count is not bounded by anything the drive knows.
  const uint64_t safe = uint64_t(safeUnits) * unitSectors_;
  if (safe >= totalSectors_) return false;
  safeSectors_ = uint32_t(safe);
  safePresented_ = false;
  return true;
}

bool CRemovableLayout::presentSafe() {
  if (!hasSafe()) return false;
  safePresented_ = true;
  return true;
}

uint32_t CRemovableLayout::presentedSectors() const {
  return safePresented_ ? safeSectors_ : totalSectors_ - safeSectors_;
}

uint32_t CRemovableLayout::toFlash(uint32_t presentedLba) const {
  return safePresented_ ? totalSectors_ - safeSectors_ + presentedLba : presentedLba;
}

}  // namespace emu
