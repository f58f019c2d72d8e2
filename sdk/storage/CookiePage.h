// One 512-byte page of the hidden area as the store holds it: its number, the
// bytes it uses and its records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "CookieRecord.h"

class CCookieCipher;

class CCookiePage {
 public:
  static constexpr size_t kSize = 512;
  // State word (4 bytes) and record count (1 byte).
  static constexpr size_t kHeaderSize = 5;
  // A page takes a record only while its used bytes stay at or below this.
  static constexpr size_t kMaxUsed = 511;
  static constexpr uint32_t kStateEmpty = 0;
  static constexpr uint32_t kStateHoldsRecords = 1;

  explicit CCookiePage(uint16_t number = 0);

  // Reads a page as it came from the drive. False, and the page left empty,
  // when its state word is not 1: erased flash, a cleared page or foreign
  // bytes are no store page. Records that cannot be read are left out; the
  // count byte is only an upper limit. Reads nothing outside the 512 bytes.
  bool parse(const uint8_t* page, CCookieCipher& cipher);
  // The 512 bytes this page puts on the drive.
  void serialize(uint8_t* page) const;

  uint16_t number() const { return m_number; }
  size_t used() const { return m_used; }
  size_t freeBytes() const { return kSize - m_used; }
  const std::vector<CCookieRecord>& records() const { return m_records; }

  // Index of the first record with this type, section and name; -1 for none.
  int find(uint8_t type, const std::string& section, const std::string& name) const;
  bool fits(const CCookieRecord& record) const { return m_used + record.length() <= kMaxUsed; }
  // Appends; false when the record does not fit.
  bool add(const CCookieRecord& record);
  void removeAt(size_t index);
  // Counts only the records the next write puts on the drive; bytes of records
  // skipped at parse time stay counted until then.
  void recount();

 private:
  uint16_t m_number;
  size_t m_used;
  std::vector<CCookieRecord> m_records;
};
