// The REPORT DEVICE IDENTIFIER answer as recognition reads it: after the 4-byte
// length header, a text of words split at blanks, tabs and line feeds. Only the
// first kKeptBytes bytes of the answer are read. Portable parsing only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DeviceParams.h"

class CIdentifierText {
 public:
  static constexpr size_t kKeptBytes = 41;
  static constexpr size_t kTextOffset = 4;
  static constexpr int32_t kMakerUsbVendorId = 0x0F3B;

  // answer holds the length bytes the transport asked for; bytes the drive did
  // not send must be 0.
  CIdentifierText(const uint8_t* answer, size_t length);

  const std::vector<std::string>& words() const { return m_words; }
  // "Vantrel", then "Plunda", then the serial (possibly none).
  bool namesDrive() const;
  // The third word, empty when there is none; one that runs on past the kept
  // bytes is taken as cut there, the form the drive is known by everywhere.
  std::string serial() const;

  // For a drive that names itself: serial, USB vendor id and status 0 into params.
  bool applyTo(DeviceParams& params) const;

 private:
  std::vector<std::string> m_words;
};
