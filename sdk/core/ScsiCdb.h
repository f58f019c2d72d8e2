// Command descriptor blocks of the commands the SDK sends, and the arithmetic
// on their answers.
#pragma once

#include <cstdint>

namespace pdk {

struct ScsiCdb {
  uint8_t bytes[16] = {};
  uint8_t length = 0;  // the CDB length the NT and ME transports send
};

constexpr uint8_t kOpInquiry = 0x12;
constexpr uint8_t kOpReadCapacity10 = 0x25;
constexpr uint8_t kOpRead10 = 0x28;
constexpr uint8_t kOpWrite10 = 0x2A;
constexpr uint8_t kOpReportIdentifier = 0xA3;
constexpr uint8_t kOpVendor = 0xFF;

constexpr uint32_t kReadCapacityLength = 8;
constexpr uint32_t kMaxSectorsPerTransfer = 255;  // the count travels in one CDB byte
constexpr uint32_t kMaxVendorParams = 7;
constexpr uint32_t kFrameHeaderLength = 16;
constexpr uint32_t kDefaultTimeout = 10000;

ScsiCdb readCapacityCdb();
ScsiCdb read10Cdb(uint32_t firstSector, uint8_t sectorCount);
ScsiCdb write10Cdb(uint32_t firstSector, uint8_t sectorCount);
ScsiCdb inquiryCdb(uint8_t allocationLength);
ScsiCdb reportIdentifierCdb(uint8_t allocationLength);
// The drive's vendor command: 0xFF, the sub-code low byte first, up to seven
// parameter bytes, "TORM". More than seven parameter bytes are refused (false).
bool vendorCdb(uint16_t subCode, const uint8_t* params, uint32_t paramLength, ScsiCdb* cdb);

// The drive's blocks carry their words little-endian.
inline uint32_t le32(const uint8_t* b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
inline void putLe32(uint8_t* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Kilobytes of a READ CAPACITY(10) answer: ((b1*65536 + b2*256 + b3) + 1) / 2.
// Byte 0 of the last-block address is not used.
uint32_t capacityKilobytes(const uint8_t answer[kReadCapacityLength]);

// The 16-byte frame header of framed vendor commands: "BIPO" and twelve 0xFF.
void writeFrameHeader(uint8_t* data);
bool hasFrameSignature(const uint8_t* data);

}  // namespace pdk
