#include "CookieImpl.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Connection.h"
#include "PDKErrors.h"
#include "PDKTrace.h"

namespace {

// Holds the store's named mutex for the length of one operation.
class StoreLock {
 public:
  explicit StoreLock(CPDKMutex& mutex) : m_mutex(mutex), m_held(mutex.lock() == 0) {}
  ~StoreLock() {
    if (m_held) m_mutex.unlock();
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  bool held() const { return m_held; }

 private:
  CPDKMutex& m_mutex;
  bool m_held;
};

// A section or name: given, not empty, and short enough for its 32-byte field.
bool validText(const char* text) {
  if (text == nullptr || text[0] == '\0') return false;
  return std::strlen(text) <= CCookieRecord::kMaxTextLength;
}

bool validKey(const char* section, const char* name) {
  return validText(section) && validText(name);
}

int openResultCode(CCookieRecord::OpenResult result) {
  switch (result) {
    case CCookieRecord::OpenResult::kOk:
      return pdk::kOk;
    case CCookieRecord::OpenResult::kWrongPassword:
      return pdk::kNotAuthenticated;
    case CCookieRecord::OpenResult::kDamaged:
      break;
  }
  return pdk::kVerificationError;
}

std::string serialOf(const DeviceParams& params) {
  size_t n = 0;
  while (n < sizeof params.serial && params.serial[n] != '\0') ++n;
  return std::string(params.serial, n);
}

// The whole text must be a decimal number that fits an int.
bool parseInt(const std::string& text, int* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size()) return false;
  if (parsed < INT_MIN || parsed > INT_MAX) return false;
  *value = static_cast<int>(parsed);
  return true;
}

}  // namespace

CCookieImpl::CCookieImpl(IConnection& connection, const DeviceParams& params)
    : m_connection(connection),
      m_handle(params),
      m_serial(serialOf(params)),
      m_cipher(m_serial.c_str()) {
  // Without the mutex every operation fails with 1 at its lock.
  m_mutex.create(kMutexName, false);
}

CCookieImpl::~CCookieImpl() = default;

int CCookieImpl::readPage(uint16_t number, uint32_t tryWord, uint8_t* page) {
  const uint8_t params[6] = {
      static_cast<uint8_t>(number & 0xFF),          static_cast<uint8_t>(number >> 8),
      static_cast<uint8_t>(tryWord & 0xFF),         static_cast<uint8_t>((tryWord >> 8) & 0xFF),
      static_cast<uint8_t>((tryWord >> 16) & 0xFF), static_cast<uint8_t>(tryWord >> 24)};
  return m_connection.vendorIn(m_handle, kSubCodeReadPage, sizeof params, params,
                               CCookiePage::kSize, page, kTimeout);
}

int CCookieImpl::writeRaw(uint16_t number, const uint8_t* page) {
  const uint8_t params[2] = {static_cast<uint8_t>(number & 0xFF),
                             static_cast<uint8_t>(number >> 8)};
  return m_connection.vendorOut(m_handle, kSubCodeWritePage, sizeof params, params,
                                CCookiePage::kSize, page, kTimeout);
}

// Answer of the serial sub-code: 40 bytes, the serial text from byte 6.
int CCookieImpl::readSerial() {
  uint8_t answer[40] = {};
  const int rc =
      m_connection.vendorIn(m_handle, kSubCodeSerial, 0, nullptr, sizeof answer, answer, kTimeout);
  if (rc != pdk::kOk) return rc;
  std::string serial;
  for (size_t i = 6; i < sizeof answer && answer[i] != 0; ++i) {
    serial.push_back(static_cast<char>(answer[i]));
  }
  m_serial = serial;
  m_cipher.setSerial(m_serial.c_str());
  return pdk::kOk;
}

size_t CCookieImpl::pageIndex(uint16_t number) const {
  for (size_t i = 0; i < m_pages.size(); ++i) {
    if (m_pages[i].number() == number) return i;
  }
  return m_pages.size();
}

// Keeps the list in page order, which is the order records are offered to pages.
void CCookieImpl::commit(const CCookiePage& page) {
  size_t at = 0;
  while (at < m_pages.size() && m_pages[at].number() < page.number()) ++at;
  if (at < m_pages.size() && m_pages[at].number() == page.number()) {
    m_pages[at] = page;
  } else {
    m_pages.insert(m_pages.begin() + static_cast<std::ptrdiff_t>(at), page);
  }
}

const CCookieRecord* CCookieImpl::findCookie(const std::string& section,
                                             const std::string& name) const {
  for (const CCookiePage& page : m_pages) {
    const int i = page.find(CCookieRecord::kTypeCookie, section, name);
    if (i >= 0) return &page.records()[static_cast<size_t>(i)];
  }
  return nullptr;
}

int CCookieImpl::_newPage(uint16_t& number) {
  uint8_t page[CCookiePage::kSize];
  for (uint16_t n = kFirstPage; n <= kLastPage; ++n) {
    if (pageIndex(n) != m_pages.size()) continue;
    if (readPage(n, 0, page) == pdk::kOk) {
      number = n;
      return pdk::kOk;
    }
  }
  return pdk::kHiddenAreaFull;
}

int CCookieImpl::_writePage(const CCookiePage& page) {
  uint8_t bytes[CCookiePage::kSize];
  page.serialize(bytes);
  return writeRaw(page.number(), bytes);
}

int CCookieImpl::place(const CCookieRecord& record, int replacedPage, size_t replacedIndex) {
  // Work on a copy: memory changes only for pages the drive has accepted.
  std::vector<CCookiePage> pages = m_pages;
  CCookiePage* replaced = nullptr;
  if (replacedPage >= 0) {
    const size_t at = pageIndex(static_cast<uint16_t>(replacedPage));
    if (at < pages.size()) {
      replaced = &pages[at];
      replaced->removeAt(replacedIndex);
    }
  }
  CCookiePage* target = nullptr;
  for (CCookiePage& page : pages) {
    if (page.find(record.type(), record.section(), record.name()) >= 0) {
      return pdk::kHiddenDataExists;
    }
    if (page.fits(record)) {
      target = &page;
      break;
    }
  }
  CCookiePage fresh;
  if (target == nullptr) {
    uint16_t number = 0;
    const int rc = _newPage(number);
    if (rc != pdk::kOk) return rc;
    fresh = CCookiePage(number);
    target = &fresh;
  }
  if (!target->add(record)) return pdk::kHiddenAreaFull;
  int rc = _writePage(*target);
  if (rc != pdk::kOk) return rc;
  commit(*target);
  // The old record goes only once the new one is safe; should this write
  // fail, both lie on the drive and in memory alike.
  if (replaced != nullptr && replaced != target) {
    rc = _writePage(*replaced);
    if (rc != pdk::kOk) return rc;
    commit(*replaced);
  }
  return pdk::kOk;
}

template <typename Match>
int CCookieImpl::removeWhere(Match match) {
  bool found = false;
  for (size_t p = 0; p < m_pages.size(); ++p) {
    CCookiePage changed = m_pages[p];
    bool hit = false;
    for (size_t i = changed.records().size(); i-- > 0;) {
      if (match(changed.records()[i])) {
        changed.removeAt(i);
        hit = true;
      }
    }
    if (!hit) continue;
    found = true;
    const int rc = _writePage(changed);
    if (rc != pdk::kOk) return rc;
    m_pages[p] = changed;
  }
  return found ? pdk::kOk : pdk::kHiddenDataMissing;
}

int CCookieImpl::setTyped(const char* section, const char* name, const char* typeText,
                          const uint8_t* value, size_t valueLength) {
  CCookieRecord record;
  if (!record.build(CCookieRecord::kTypeCookie, section, typeText, name, std::string(),
                    CCookieRecord::kCheckText, value, valueLength, m_cipher)) {
    return pdk::kBadParameters;
  }
  for (const CCookiePage& page : m_pages) {
    const int i = page.find(CCookieRecord::kTypeCookie, section, name);
    if (i >= 0) return place(record, page.number(), static_cast<size_t>(i));
  }
  return place(record, -1, 0);
}

int CCookieImpl::setString(const char* section, const char* name, const char* value) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (!validKey(section, name) || value == nullptr) return pdk::kBadParameters;
  const size_t length = std::strlen(value);
  if (length > kMaxValueLength) return pdk::kBadParameters;
  return setTyped(section, name, CCookieRecord::kTypeString,
                  reinterpret_cast<const uint8_t*>(value), length);
}

int CCookieImpl::setInt(const char* section, const char* name, int value) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (!validKey(section, name)) return pdk::kBadParameters;
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%d", value);
  return setTyped(section, name, CCookieRecord::kTypeInt, reinterpret_cast<const uint8_t*>(text),
                  static_cast<size_t>(length));
}

int CCookieImpl::getString(const char* section, const char* name, char* buffer, uint32_t& size) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (!validKey(section, name) || buffer == nullptr) return pdk::kBadParameters;
  const CCookieRecord* record = findCookie(section, name);
  // An int is kept as its decimal text, so it reads as a string too.
  if (record == nullptr || (record->typeText() != CCookieRecord::kTypeString &&
                            record->typeText() != CCookieRecord::kTypeInt)) {
    return pdk::kHiddenDataMissing;
  }
  std::vector<uint8_t> value;
  rc = openResultCode(record->open(nullptr, m_cipher, nullptr, &value));
  if (rc != pdk::kOk) return rc;
  return pdk::copyTextResult(reinterpret_cast<const char*>(value.data()), value.size(), buffer, size);
}

int CCookieImpl::getInt(const char* section, const char* name, int& value) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (!validKey(section, name)) return pdk::kBadParameters;
  const CCookieRecord* record = findCookie(section, name);
  if (record == nullptr || record->typeText() != CCookieRecord::kTypeInt) {
    return pdk::kHiddenDataMissing;
  }
  std::vector<uint8_t> text;
  rc = openResultCode(record->open(nullptr, m_cipher, nullptr, &text));
  if (rc != pdk::kOk) return rc;
  return parseInt(std::string(text.begin(), text.end()), &value) ? pdk::kOk
                                                                 : pdk::kVerificationError;
}

int CCookieImpl::delCookie(const char* section, const char* name) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (!validKey(section, name)) return pdk::kBadParameters;
  const std::string s = section, n = name;
  return removeWhere(
      [&](const CCookieRecord& r) { return r.matches(CCookieRecord::kTypeCookie, s, n); });
}

int CCookieImpl::delSection(const char* section) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (!validText(section)) return pdk::kBadParameters;
  const std::string s = section;
  return removeWhere(
      [&](const CCookieRecord& r) { return r.inSection(CCookieRecord::kTypeCookie, s); });
}

int CCookieImpl::freeSpace(uint32_t& bytes) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  size_t total = 0;
  for (const CCookiePage& page : m_pages) total += page.freeBytes();
  bytes = static_cast<uint32_t>(total);
  return pdk::kOk;
}

int CCookieImpl::dumpHiddenArea(const char* path, bool withBinary) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (path == nullptr || std::strlen(path) < 2) return pdk::kBadParameters;
  // Binary mode: the file holds exactly the line ends written here.
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    PDKTrace("ERROR CCookieImpl::dumpHiddenArea can't open file %s\n", path);
    return pdk::kBadParameters;
  }
  for (const CCookiePage& page : m_pages) {
    for (const CCookieRecord& record : page.records()) {
      std::fprintf(file, "[%s]\n", record.section().c_str());
      const char* name = record.name().c_str();
      if (record.isBinary() && !withBinary) {
        std::fputs("binary here - no dump\n", file);
        continue;
      }
      if (record.isBinary() && (record.binaryLength() < 1 || record.binaryLength() > 127)) {
        std::fprintf(file, "%s = binary dump error !!!\n", name);
        continue;
      }
      std::vector<uint8_t> value;
      if (record.open(nullptr, m_cipher, nullptr, &value) != CCookieRecord::OpenResult::kOk) {
        // Without its password a protected value stays closed.
        std::fprintf(file, "%s = <protected>\n", name);
        continue;
      }
      std::fprintf(file, "%s = ", name);
      if (!value.empty()) std::fwrite(value.data(), 1, value.size(), file);
      std::fputs("\n", file);
    }
  }
  const bool failed = std::ferror(file) != 0;
  return (std::fclose(file) != 0 || failed) ? pdk::kGeneralError : pdk::kOk;
}

int CCookieImpl::delAllCookies() {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  uint8_t page[CCookiePage::kSize] = {};
  for (uint16_t n = 0; n <= 30; ++n) {
    page[0] = CCookiePage::kStateEmpty;
    rc = writeRaw(n, page);
    if (rc != pdk::kOk) {
      page[0] = CCookiePage::kStateHoldsRecords;
      rc = writeRaw(n, page);
    }
    if (rc != pdk::kOk) break;
    // The page is empty on the drive now; memory follows page by page, so a
    // failure part-way leaves both alike.
    const size_t at = pageIndex(n);
    if (at < m_pages.size()) m_pages.erase(m_pages.begin() + static_cast<std::ptrdiff_t>(at));
  }
  if (rc != pdk::kOk) {
    PDKTrace("CCookieImpl::delAllCookies - failed in deleting cookies, error %d\n", rc);
    return rc == pdk::kDeviceInternalError ? pdk::kOk : rc;
  }
  PDKTrace("CCookieImpl::delAllCookies - all cookies deleted\n");
  return pdk::kOk;
}

int CCookieImpl::writeAllPages() {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  for (CCookiePage& page : m_pages) {
    const int written = _writePage(page);
    if (written != pdk::kOk) return written;
    // Records skipped at load time are gone from the drive now.
    page.recount();
  }
  return pdk::kOk;
}

int CCookieImpl::addRecord(const CCookieRecord& record, int type) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  CCookieRecord typed = record;
  if (record.empty() || type < 0 || type > 255 || !typed.setType(static_cast<uint8_t>(type))) {
    return pdk::kBadParameters;
  }
  return place(typed, -1, 0);
}

int CCookieImpl::deleteRecord(const CCookieRecord& record) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (record.empty()) return pdk::kBadParameters;
  return removeWhere([&](const CCookieRecord& r) { return r.sameKey(record); });
}

int CCookieImpl::defaultValue(const char* section, const char* name, const char* password,
                              char* buffer, uint32_t& size) {
  if (!validKey(section, name) || buffer == nullptr) return pdk::kBadParameters;
  const CCookieRecord* record = findCookie(section, name);
  if (record == nullptr) return pdk::kHiddenDataMissing;
  std::string check;
  const int rc = openResultCode(record->open(password, m_cipher, &check, nullptr));
  if (rc != pdk::kOk) return rc;
  return pdk::copyTextResult(check.data(), check.size(), buffer, size);
}

int CCookieImpl::getDefaultValue(const char* section, const char* name, const char* password,
                                 char* buffer, uint32_t& size) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  return defaultValue(section, name, password, buffer, size);
}

int CCookieImpl::setBinary(const char* section, const char* name, const uint8_t* data,
                           uint32_t length) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (!validKey(section, name) || (data == nullptr && length > 0)) return pdk::kBadParameters;
  return setTyped(section, name, CCookieRecord::kTypeBinary, data, length);
}

int CCookieImpl::getBinary(const char* section, const char* name, uint8_t* buffer,
                           uint32_t& length) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (!validKey(section, name) || (buffer == nullptr && length > 0)) return pdk::kBadParameters;
  const CCookieRecord* record = findCookie(section, name);
  if (record == nullptr || !record->isBinary()) return pdk::kHiddenDataMissing;
  std::vector<uint8_t> value;
  rc = openResultCode(record->open(nullptr, m_cipher, nullptr, &value));
  if (rc != pdk::kOk) return rc;
  const uint32_t needed = static_cast<uint32_t>(value.size());
  if (length < needed) {
    length = needed;
    return pdk::kBufferTooSmall;
  }
  if (needed > 0) std::memcpy(buffer, value.data(), needed);
  length = needed;
  return pdk::kOk;
}

int CCookieImpl::extructCookies() {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  CDeviceHandle::ScopedOpen open(m_handle, m_connection);
  if (open.result() != pdk::kOk) return open.result();
  m_pages.clear();
  m_loaded = false;

  int rc = m_serial.empty() ? readSerial() : pdk::kOk;
  uint8_t bytes[CCookiePage::kSize];
  for (uint16_t n = kFirstPage; rc == pdk::kOk && n <= kLastPage; ++n) {
    rc = readPage(n, 0, bytes);
    if (rc != pdk::kOk) rc = readPage(n, 1, bytes);
    if (rc != pdk::kOk) break;
    CCookiePage page(n);
    if (page.parse(bytes, m_cipher)) m_pages.push_back(std::move(page));
  }
  if (rc != pdk::kOk) {
    // Half a store is worse than none: no operation may act on it.
    m_pages.clear();
    PDKTrace("CCookieImpl::extructCookies - failed reading cookies from PDK, error %d\n", rc);
    return rc;
  }
  m_loaded = true;
  PDKTrace("CCookieImpl::extructCookies - success reading cookies from PDK\n");
  return pdk::kOk;
}

int CCookieImpl::setPasswordHint(const char* hint) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  if (hint == nullptr || std::strlen(hint) > kMaxValueLength || !validText(m_serial.c_str())) {
    return pdk::kBadParameters;
  }
  CCookieRecord record;
  if (!record.build(CCookieRecord::kTypeCookie, m_serial, std::string(), kHintName, std::string(),
                    hint, nullptr, 0, m_cipher)) {
    return pdk::kBadParameters;
  }
  // The new hint goes on the drive before the old one leaves it: a failed
  // write must not leave the drive with no hint at all.
  for (const CCookiePage& page : m_pages) {
    const int i = page.find(CCookieRecord::kTypeCookie, m_serial, kHintName);
    if (i >= 0) return place(record, page.number(), static_cast<size_t>(i));
  }
  return place(record, -1, 0);
}

int CCookieImpl::getPasswordHint(char* buffer, uint32_t& size) {
  StoreLock lock(m_mutex);
  if (!lock.held()) return pdk::kGeneralError;
  const int rc = extructCookies();
  if (rc != pdk::kOk) return rc;
  return defaultValue(m_serial.c_str(), kHintName, nullptr, buffer, size);
}
