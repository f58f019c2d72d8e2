#include "CookiePage.h"

#include <cstring>

CCookiePage::CCookiePage(uint16_t number) : m_number(number), m_used(kHeaderSize) {}

bool CCookiePage::parse(const uint8_t* page, CCookieCipher& cipher) {
  m_records.clear();
  m_used = kHeaderSize;
  const uint32_t state = static_cast<uint32_t>(page[0]) | (static_cast<uint32_t>(page[1]) << 8) |
                         (static_cast<uint32_t>(page[2]) << 16) |
                         (static_cast<uint32_t>(page[3]) << 24);
  if (state != kStateHoldsRecords) return false;

  const unsigned count = page[4];
  size_t offset = kHeaderSize;
  for (unsigned i = 0; i < count && offset < kSize; ++i) {
    CCookieRecord record;
    size_t length = 0;
    const CCookieRecord::ParseResult result =
        CCookieRecord::parse(page + offset, kSize - offset, cipher, record, &length);
    if (result == CCookieRecord::ParseResult::kStop) break;
    if (result == CCookieRecord::ParseResult::kRecord) m_records.push_back(std::move(record));
    offset += length;
  }
  m_used = offset;
  return true;
}

void CCookiePage::serialize(uint8_t* page) const {
  std::memset(page, 0, kSize);
  page[0] = static_cast<uint8_t>(m_records.empty() ? kStateEmpty : kStateHoldsRecords);
  page[4] = static_cast<uint8_t>(m_records.size());
  size_t offset = kHeaderSize;
  for (const CCookieRecord& record : m_records) {
    record.serialize(page + offset);
    offset += record.length();
  }
}

int CCookiePage::find(uint8_t type, const std::string& section, const std::string& name) const {
  for (size_t i = 0; i < m_records.size(); ++i) {
    if (m_records[i].matches(type, section, name)) return static_cast<int>(i);
  }
  return -1;
}

bool CCookiePage::add(const CCookieRecord& record) {
  if (!fits(record)) return false;
  m_records.push_back(record);
  recount();
  return true;
}

void CCookiePage::removeAt(size_t index) {
  if (index >= m_records.size()) return;
  m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(index));
  recount();
}

void CCookiePage::recount() {
  m_used = kHeaderSize;
  for (const CCookieRecord& record : m_records) m_used += record.length();
}
