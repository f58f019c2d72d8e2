#include "ScsiCdb.h"

#include <cstring>

namespace pdk {

namespace {

constexpr uint8_t kNTCdbLength = 14;

ScsiCdb transferCdb(uint8_t opcode, uint32_t firstSector, uint8_t sectorCount) {
  ScsiCdb cdb;
  cdb.length = kNTCdbLength;
  cdb.bytes[0] = opcode;
  cdb.bytes[2] = static_cast<uint8_t>(firstSector >> 24);
  cdb.bytes[3] = static_cast<uint8_t>(firstSector >> 16);
  cdb.bytes[4] = static_cast<uint8_t>(firstSector >> 8);
  cdb.bytes[5] = static_cast<uint8_t>(firstSector);
  cdb.bytes[8] = sectorCount;
  return cdb;
}

}  // namespace

ScsiCdb readCapacityCdb() {
  ScsiCdb cdb;
  cdb.length = kNTCdbLength;
  cdb.bytes[0] = kOpReadCapacity10;
  return cdb;
}

ScsiCdb read10Cdb(uint32_t firstSector, uint8_t sectorCount) {
  return transferCdb(kOpRead10, firstSector, sectorCount);
}

ScsiCdb write10Cdb(uint32_t firstSector, uint8_t sectorCount) {
  return transferCdb(kOpWrite10, firstSector, sectorCount);
}

ScsiCdb inquiryCdb(uint8_t allocationLength) {
  ScsiCdb cdb;
  cdb.length = 6;
  cdb.bytes[0] = kOpInquiry;
  cdb.bytes[4] = allocationLength;
  return cdb;
}

ScsiCdb reportIdentifierCdb(uint8_t allocationLength) {
  ScsiCdb cdb;
  cdb.length = 12;
  cdb.bytes[0] = kOpReportIdentifier;
  cdb.bytes[1] = 0x05;
  cdb.bytes[9] = allocationLength;
  return cdb;
}

bool vendorCdb(uint16_t subCode, const uint8_t* params, uint32_t paramLength, ScsiCdb* cdb) {
  if (paramLength > kMaxVendorParams || (paramLength > 0 && params == nullptr)) return false;
  *cdb = ScsiCdb();
  cdb->length = kNTCdbLength;
  cdb->bytes[0] = kOpVendor;
  cdb->bytes[1] = static_cast<uint8_t>(subCode & 0xFF);
  cdb->bytes[2] = static_cast<uint8_t>(subCode >> 8);
  if (paramLength > 0) std::memcpy(cdb->bytes + 3, params, paramLength);
  std::memcpy(cdb->bytes + 10, "TORM", 4);
  return true;
}

uint32_t capacityKilobytes(const uint8_t answer[kReadCapacityLength]) {
  const uint32_t lastBlock = (static_cast<uint32_t>(answer[1]) << 16) |
                             (static_cast<uint32_t>(answer[2]) << 8) | answer[3];
  return (lastBlock + 1) / 2;
}

void writeFrameHeader(uint8_t* data) {
  std::memcpy(data, "BIPO", 4);
  std::memset(data + 4, 0xFF, kFrameHeaderLength - 4);
}

bool hasFrameSignature(const uint8_t* data) { return std::memcmp(data, "BIPO", 4) == 0; }

}  // namespace pdk
