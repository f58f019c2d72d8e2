// Request blocks built byte by byte from the layouts the Windows drivers read,
// independently of the SDK's struct definitions: a wrong struct layout shows up
// as a disagreement between these offsets and the structs (BlockLayoutTest) and
// as a request the emulated driver decodes differently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace raw {

constexpr size_t P = sizeof(void*);

// SCSI_PASS_THROUGH and SCSI_PASS_THROUGH_DIRECT headers (same field offsets).
namespace pt {
constexpr size_t length = 0, scsiStatus = 2, pathId = 3, targetId = 4, lun = 5, cdbLength = 6,
                 senseInfoLength = 7, dataIn = 8, dataTransferLength = 12, timeOutValue = 16;
constexpr size_t pointer = P == 4 ? 20 : 24;  // DataBuffer or DataBufferOffset
constexpr size_t senseInfoOffset = P == 4 ? 24 : 32;
constexpr size_t cdb = P == 4 ? 28 : 36;
constexpr size_t headerSize = P == 4 ? 44 : 56;
constexpr size_t senseOffset = headerSize + 4;  // after the filler
constexpr size_t directBlockSize = P == 4 ? 80 : 96;
constexpr size_t identifierData = directBlockSize;
constexpr size_t identifierBlockSize = P == 4 ? 180 : 200;
constexpr size_t bufferedDataOffset = senseOffset + 32;
constexpr size_t bufferedBlockSize = P == 4 ? 592 : 608;
}  // namespace pt

// The 98 SE USB driver block.
namespace u98 {
constexpr size_t reserved0 = 0, cdb = P, cdbLength = 2 * P, data = 3 * P, dataLength = 4 * P,
                 dataIn = 4 * P + 4, status = 4 * P + 8, reserved1 = 5 * P + 8;
constexpr size_t size = 6 * P + 8;
}  // namespace u98

// ASPI SRBs (byte packed).
namespace srb {
constexpr size_t cmd = 0, status = 1, haId = 2, flags = 3;
// SRB_HAInquiry
constexpr size_t haCount = 8, haScsiId = 9, managerId = 10, identifier = 26, unique = 42;
constexpr size_t haInquirySize = 60;
// SRB_ExecSCSICmd
constexpr size_t target = 8, lun = 9, bufLen = 12, bufPointer = 16, senseLen = 16 + P,
                 cdbLen = 17 + P, haStat = 18 + P, targStat = 19 + P, postProc = 20 + P,
                 cdb = 40 + 2 * P, senseArea = 56 + 2 * P;
constexpr size_t execSize = 72 + 2 * P;
}  // namespace srb

// A zeroed byte block with little-endian field writers and readers.
class Block {
 public:
  explicit Block(size_t size) : bytes_(size, 0) {}
  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }
  uint8_t& operator[](size_t i) { return bytes_.at(i); }
  uint8_t operator[](size_t i) const { return bytes_.at(i); }

  void put8(size_t at, uint8_t v) { bytes_.at(at) = v; }
  void put16(size_t at, uint16_t v) { putN(at, v, 2); }
  void put32(size_t at, uint32_t v) { putN(at, v, 4); }
  void putPtr(size_t at, const void* p) {
    const auto v = reinterpret_cast<uintptr_t>(p);
    putN(at, v, P);
  }
  void putWord(size_t at, uint64_t v) { putN(at, v, P); }  // a pointer-sized integer
  void putBytes(size_t at, const std::vector<uint8_t>& v) {
    for (size_t i = 0; i < v.size(); ++i) bytes_.at(at + i) = v[i];
  }
  uint8_t get8(size_t at) const { return bytes_.at(at); }
  uint32_t get32(size_t at) const { return uint32_t(getN(at, 4)); }
  std::vector<uint8_t> slice(size_t at, size_t n) const {
    return std::vector<uint8_t>(bytes_.begin() + at, bytes_.begin() + at + n);
  }

 private:
  void putN(size_t at, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) bytes_.at(at + i) = uint8_t(v >> (8 * i));
  }
  uint64_t getN(size_t at, size_t n) const {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= uint64_t(bytes_.at(at + i)) << (8 * i);
    return v;
  }
  std::vector<uint8_t> bytes_;
};

// CDBs as the SDK sends them.
namespace cdb {
inline std::vector<uint8_t> inquiry(uint8_t allocation, size_t length = 6) {
  std::vector<uint8_t> c(length, 0);
  c[0] = 0x12;
  c[4] = allocation;
  return c;
}
inline std::vector<uint8_t> readCapacity(size_t length = 10) {
  std::vector<uint8_t> c(length, 0);
  c[0] = 0x25;
  return c;
}
inline std::vector<uint8_t> rw10(uint8_t op, uint32_t lba, uint8_t count, size_t length = 10) {
  std::vector<uint8_t> c(length, 0);
  c[0] = op;
  c[2] = uint8_t(lba >> 24);
  c[3] = uint8_t(lba >> 16);
  c[4] = uint8_t(lba >> 8);
  c[5] = uint8_t(lba);
  c[8] = count;
  return c;
}
inline std::vector<uint8_t> read10(uint32_t lba, uint8_t count, size_t length = 10) {
  return rw10(0x28, lba, count, length);
}
inline std::vector<uint8_t> write10(uint32_t lba, uint8_t count, size_t length = 10) {
  return rw10(0x2A, lba, count, length);
}
inline std::vector<uint8_t> reportIdentifier(uint8_t allocation, size_t length = 12) {
  std::vector<uint8_t> c(length, 0);
  c[0] = 0xA3;
  c[1] = 0x05;
  c[9] = allocation;
  return c;
}
inline std::vector<uint8_t> vendor(uint16_t subCode, std::vector<uint8_t> params = {},
                                   size_t length = 14) {
  std::vector<uint8_t> c(length, 0);
  c[0] = 0xFF;
  c[1] = uint8_t(subCode);
  c[2] = uint8_t(subCode >> 8);
  for (size_t i = 0; i < params.size() && i < 7; ++i) c[3 + i] = params[i];
  const char sig[] = "TORM";
  for (size_t i = 0; i < 4 && 10 + i < length; ++i) c[10 + i] = uint8_t(sig[i]);
  return c;
}
}  // namespace cdb

}  // namespace raw
