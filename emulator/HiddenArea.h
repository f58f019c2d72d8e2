// The drive's hidden area: a few flash pages outside the sector store, reached
// only through their own vendor sub-codes, so nothing done to sectors can touch
// them. Portable code: no operating-system header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace emu {

class CHiddenArea {
 public:
  static constexpr uint32_t kPageCount = 32;
  static constexpr uint32_t kPageSize = 512;
  // Fresh flash is erased, and erased flash reads as all ones.
  static constexpr uint8_t kErasedByte = 0xFF;

  CHiddenArea();

  // Both return false, touching nothing, for a page at or past kPageCount.
  bool read(uint32_t page, uint8_t* out512) const;
  bool write(uint32_t page, const uint8_t* in512);
  // Every page back to erased flash.
  void erase();

 private:
  std::vector<uint8_t> bytes_;  // kPageCount pages back to back
};

}  // namespace emu
