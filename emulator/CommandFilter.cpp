#include "CommandFilter.h"

namespace emu {

namespace {
constexpr uint8_t kOpVendor = 0xFF;
}

bool CCommandFilter::matches(const uint8_t* cdb, size_t cdbLength) const {
  switch (kind_) {
    case Kind::Any:
      return true;
    case Kind::Opcode:
      return cdb != nullptr && cdbLength >= 1 && cdb[0] == value_;
    case Kind::Vendor:
      return cdb != nullptr && cdbLength >= 3 && cdb[0] == kOpVendor &&
             uint16_t(cdb[1] | (cdb[2] << 8)) == value_;
  }
  return false;
}

}  // namespace emu
