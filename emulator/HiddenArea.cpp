#include "HiddenArea.h"

#include <cstring>

namespace emu {

CHiddenArea::CHiddenArea() : bytes_(size_t(kPageCount) * kPageSize, kErasedByte) {}

bool CHiddenArea::read(uint32_t page, uint8_t* out512) const {
  if (page >= kPageCount) return false;
  std::memcpy(out512, bytes_.data() + size_t(page) * kPageSize, kPageSize);
  return true;
}

bool CHiddenArea::write(uint32_t page, const uint8_t* in512) {
  if (page >= kPageCount) return false;
  std::memcpy(bytes_.data() + size_t(page) * kPageSize, in512, kPageSize);
  return true;
}

void CHiddenArea::erase() { bytes_.assign(bytes_.size(), kErasedByte); }

}  // namespace emu
