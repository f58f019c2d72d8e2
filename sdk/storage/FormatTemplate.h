// Caller-supplied choices for a format run. The formatter asks once, when the
// provider is installed; every slot has a meaning of "no preference".
#pragma once

#include <cstdint>

class IFormatTemplate {
 public:
  virtual ~IFormatTemplate() = default;
  virtual bool writeMbr() = 0;        // formatter's default: true
  virtual bool bootable() = 0;        // default: true
  virtual bool keepExisting() = 0;    // default: false
  virtual int heads() = 0;            // used when positive
  virtual int sectorsPerTrack() = 0;  // used when positive
  // 446 bytes of master boot record code, or nullptr.
  virtual const uint8_t* mbrCode() = 0;
  // A 512-byte boot sector image, or nullptr.
  virtual const uint8_t* bootSector() = 0;
};
