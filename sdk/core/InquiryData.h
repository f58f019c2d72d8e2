// The identification a drive gives in its INQUIRY answer, as recognition reads
// it: vendor (bytes 8-15), product (16-31) and revision (32-36), each cut at
// its first NUL and without trailing blanks. Portable parsing only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CInquiryData {
 public:
  // Only the first kKeptBytes bytes count; bytes past `length` count as 0.
  static constexpr size_t kKeptBytes = 37;

  CInquiryData(const uint8_t* answer, size_t length);

  const std::string& vendor() const { return m_vendor; }
  const std::string& product() const { return m_product; }
  const std::string& revision() const { return m_revision; }

  // The product names one of the maker's drives ("Plunda" or "Storage Media").
  bool productNamesDrive() const;

  // Firmware of the 1.x line is never accepted.
  static bool revisionRefused(const char* revision);
  // Firmware that can identify itself by REPORT DEVICE IDENTIFIER: 3 or above,
  // or 2 with the first digit after the separator at 7 or above.
  static bool revisionIdentifies(const char* revision);

 private:
  std::string m_vendor;
  std::string m_product;
  std::string m_revision;
};
