// The parameter block the caller fills in and hands to the engine whole.
#pragma once

#include <cstdint>

namespace tovik {

constexpr uint32_t kSyncNoSubfolders = 0x1;
constexpr uint32_t kSyncSkipHiddenSystem = 0x10;  // hidden and system
constexpr uint32_t kSyncSkipHidden = 0x100;       // hidden but not system

struct SyncParams {
  char name[32];             // database name; empty: the parameters are not set
  char databaseFolder[260];  // ends with "\"
  char driveLetters[8];      // the drive's volumes in its own order; unused slots 0
  uint32_t flags;
};
static_assert(sizeof(SyncParams) == 304, "the parameter block is 304 bytes");

}  // namespace tovik
