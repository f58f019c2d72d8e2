// The fixed records of the sync database file and the file time they carry.
// The file is little-endian on every platform; records are converted field by
// field, never copied as memory, so any host reads what any other wrote.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovik {

// A Windows FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
struct SyncFileTime {
  uint32_t dwLowDateTime = 0;
  uint32_t dwHighDateTime = 0;

  uint64_t value() const { return (uint64_t(dwHighDateTime) << 32) | dwLowDateTime; }
  static SyncFileTime from(uint64_t v) { return {uint32_t(v), uint32_t(v >> 32)}; }
};

constexpr size_t kSyncPathUnits = 260;  // UTF-16 code units of a path field, NUL included

struct SyncLinkRecord {
  char16_t hostFolder[kSyncPathUnits] = {};
  char16_t driveFolder[kSyncPathUnits] = {};
  uint8_t reserved[16] = {};

  static constexpr size_t kSize = 1056;
  void encode(uint8_t* out) const;
  void decode(const uint8_t* in);
};

struct SyncFileRecord {
  char16_t hostPath[kSyncPathUnits] = {};
  char16_t drivePath[kSyncPathUnits] = {};
  SyncFileTime time;

  static constexpr size_t kSize = 1048;
  void encode(uint8_t* out) const;
  void decode(const uint8_t* in);
};

}  // namespace tovik
