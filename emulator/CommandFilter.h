// Which commands an injected fault hits: any command, one opcode, or one vendor
// sub-code. Portable code: no operating-system header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace emu {

class CCommandFilter {
 public:
  static CCommandFilter any() { return CCommandFilter(Kind::Any, 0); }
  static CCommandFilter opcode(uint8_t op) { return CCommandFilter(Kind::Opcode, op); }
  static CCommandFilter vendor(uint16_t subCode) { return CCommandFilter(Kind::Vendor, subCode); }

  // A CDB too short to carry the field a filter looks at never matches it.
  bool matches(const uint8_t* cdb, size_t cdbLength) const;

 private:
  enum class Kind { Any, Opcode, Vendor };
  CCommandFilter(Kind kind, uint16_t value) : kind_(kind), value_(value) {}

  Kind kind_;
  uint16_t value_;
};

}  // namespace emu
