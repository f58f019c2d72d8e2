#include "SyncRecords.h"

namespace tovik {

namespace {

void putPath(const char16_t* path, uint8_t* out) {
  for (size_t i = 0; i < kSyncPathUnits; ++i) {
    out[2 * i] = uint8_t(path[i]);
    out[2 * i + 1] = uint8_t(path[i] >> 8);
  }
}

void getPath(const uint8_t* in, char16_t* path) {
  for (size_t i = 0; i < kSyncPathUnits; ++i) {
    path[i] = char16_t(in[2 * i] | (in[2 * i + 1] << 8));
  }
}

void put32(uint32_t v, uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = uint8_t(v >> (8 * i));
}

uint32_t get32(const uint8_t* in) {
  return uint32_t(in[0]) | (uint32_t(in[1]) << 8) | (uint32_t(in[2]) << 16) |
         (uint32_t(in[3]) << 24);
}

}  // namespace

void SyncLinkRecord::encode(uint8_t* out) const {
  putPath(hostFolder, out);
  putPath(driveFolder, out + 520);
  for (size_t i = 0; i < sizeof(reserved); ++i) out[1040 + i] = reserved[i];
}

void SyncLinkRecord::decode(const uint8_t* in) {
  getPath(in, hostFolder);
  getPath(in + 520, driveFolder);
  for (size_t i = 0; i < sizeof(reserved); ++i) reserved[i] = in[1040 + i];
}

void SyncFileRecord::encode(uint8_t* out) const {
  putPath(hostPath, out);
  putPath(drivePath, out + 520);
  put32(time.dwLowDateTime, out + 1040);
  put32(time.dwHighDateTime, out + 1044);
}

void SyncFileRecord::decode(const uint8_t* in) {
  getPath(in, hostPath);
  getPath(in + 520, drivePath);
  time.dwLowDateTime = get32(in + 1040);
  time.dwHighDateTime = get32(in + 1044);
}

}  // namespace tovik
