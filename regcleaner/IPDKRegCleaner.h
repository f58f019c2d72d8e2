// Removes the registry entries Windows 2000 and XP keep for the maker's drives,
// so that the system registers a drive afresh. Every operation answers the
// result code of its last failure, 0 when none.
#pragma once

#include <cstddef>

#include "regcleaner/IPDKRegLogSink.h"
#include "regcleaner/RegError.h"

class IPDKRegCleaner {
 public:
  // Every registration of the maker's drives.
  virtual int cleanAll() = 0;
  // The registration chain of one drive.
  virtual int cleanSerial(const char* serial) = 0;
  // Class and interface entries, and instances, whose device is gone.
  virtual int sweepOrphans() = 0;
  // Failure record `index` of this cleaner, oldest first; nullptr past the last.
  virtual const RegError* errorAt(size_t index) const = 0;
  virtual void attachLogSink(IPDKRegLogSink* sink) = 0;
  // With the dry-run flag set nothing is deleted: each key that would go is
  // opened and reported to the log sink instead.
  virtual void setDryRun(bool dryRun) = 0;
  virtual ~IPDKRegCleaner() = default;
};
