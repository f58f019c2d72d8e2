// Where Windows ME keeps a Tovik Drive: its USB instance under HKEY_LOCAL_MACHINE
// "Enum\USB", its disk and drive letters under "Enum\SCSI". A key that cannot
// be read counts as absent.
#pragma once

#include <string>

#include "DeviceParams.h"

class CMERegistry {
 public:
  // Whether some Tovik USB device has an instance named text (ignoring case).
  bool isInstanceRegistered(const std::string& text) const;
  // The letters and the removable flag Windows recorded for the disk of an
  // accepted drive (vendor, product, revision and serial set). Letters found are
  // added to params.driveMask; when nothing is found params stays as it was.
  bool readDriveLetters(DeviceParams& params) const;
};
