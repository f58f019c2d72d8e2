// Text of the sync subsystem: paths between the ANSI code page and the UTF-16
// fields of the database, and file times as the user reads them.
// Windows converts with the process's ANSI code page; POSIX paths are UTF-8,
// with a byte that is not part of valid UTF-8 carried as a lone surrogate
// U+DC80..U+DCFF so that every native name survives the round trip.
#pragma once

#include <cstddef>
#include <string>

#include "SyncRecords.h"

namespace tovik {

// Fills a field of `units` code units (NUL included, the rest zeroed); false
// when the path does not fit, the field then being all zeros.
bool PathToField(const std::string& path, char16_t* field, size_t units);

// The text of a field up to its NUL, or of all `units` when it has none; code
// units the ANSI code page cannot express become '?'.
std::string FieldToPath(const char16_t* field, size_t units);

// The time in local time formatted with "%c"; empty when either half is 0.
std::string LocalTimeText(const SyncFileTime& time);

}  // namespace tovik
