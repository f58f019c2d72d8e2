#include "CookieRecord.h"

#include <algorithm>
#include <cstring>

#include "CookieCipher.h"

namespace {

constexpr size_t kBlock = 16;

// Zero bytes that bring size to the next multiple of 16, always at least one.
size_t paddingAfter(size_t size) { return kBlock - size % kBlock; }

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  }
  return true;
}

// A NUL-terminated text of at most maxLength characters starting at pos, all
// inside size. Moves pos past the NUL.
bool readText(const uint8_t* data, size_t size, size_t* pos, size_t maxLength, std::string* text) {
  const size_t limit = std::min(size, *pos + maxLength + 1);
  for (size_t i = *pos; i < limit; ++i) {
    if (data[i] == '\0') {
      text->assign(reinterpret_cast<const char*>(data + *pos), i - *pos);
      *pos = i + 1;
      return true;
    }
  }
  return false;
}

void appendText(std::vector<uint8_t>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

uint32_t readLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool validType(uint8_t type) { return type >= 1 && type <= 4; }

}  // namespace

bool CCookieRecord::build(uint8_t type, const std::string& section, const std::string& typeText,
                          const std::string& name, const std::string& password,
                          const std::string& check, const uint8_t* value, size_t valueLength,
                          CCookieCipher& cipher) {
  const bool binary = typeText == kTypeBinary;
  if (!validType(type)) return false;
  for (const std::string* text : {&section, &typeText, &name, &password, &check}) {
    if (text->find('\0') != std::string::npos) return false;
  }
  if (section.size() > kMaxTextLength || name.size() > kMaxTextLength ||
      typeText.size() > kMaxTextLength || password.size() > kMaxTextLength) {
    return false;
  }
  if (valueLength > 0 && value == nullptr) return false;
  if (!binary && valueLength > 0 && std::memchr(value, 0, valueLength) != nullptr) return false;
  // Anything near this size could never fit a page; checking first keeps the
  // length arithmetic below far from any overflow.
  if (valueLength + check.size() > kMaxLength) return false;

  std::vector<uint8_t> inner;
  appendText(inner, check);
  if (valueLength > 0) inner.insert(inner.end(), value, value + valueLength);
  inner.push_back(0);

  // The second piece starts after the password field: one NUL for a plain
  // record, the password padded to whole blocks for a protected one.
  const size_t innerOffset = password.empty() ? 1 : password.size() + paddingAfter(password.size());
  std::vector<uint8_t> part;
  if (password.empty()) {
    part.push_back(0);
    part.insert(part.end(), inner.begin(), inner.end());
    part.resize(part.size() + paddingAfter(part.size()), 0);
  } else {
    part.assign(password.begin(), password.end());
    part.resize(innerOffset, 0);
    // The padding goes inside the password layer: ECB takes whole blocks only.
    inner.resize(inner.size() + paddingAfter(inner.size()), 0);
    cipher.encipherWithPassword(password.c_str(), inner.data(), inner.size());
    part.insert(part.end(), inner.begin(), inner.end());
  }
  std::vector<uint8_t> keptInner(part.begin() + static_cast<std::ptrdiff_t>(innerOffset),
                                 part.end());
  cipher.encipher(part.data(), part.size());

  std::vector<uint8_t> body;
  appendText(body, section);
  appendText(body, typeText);
  if (binary) {
    const uint32_t n = static_cast<uint32_t>(valueLength);
    for (int shift = 0; shift < 32; shift += 8) body.push_back(static_cast<uint8_t>(n >> shift));
  }
  appendText(body, name);
  body.insert(body.end(), part.begin(), part.end());
  if (kHeaderSize + body.size() > kMaxLength) return false;

  m_type = type;
  m_protection = password.empty() ? kPlain : kProtected;
  m_section = section;
  m_typeText = typeText;
  m_binaryLength = binary ? static_cast<uint32_t>(valueLength) : 0;
  m_name = name;
  m_password = password;
  m_inner = std::move(keptInner);
  m_body = std::move(body);
  return true;
}

CCookieRecord::ParseResult CCookieRecord::parse(const uint8_t* at, size_t available,
                                                CCookieCipher& cipher, CCookieRecord& out,
                                                size_t* length) {
  *length = 0;
  if (available < kHeaderSize) return ParseResult::kStop;
  const size_t recordLength = static_cast<size_t>(at[0]) | (static_cast<size_t>(at[1]) << 8);
  if (recordLength < kHeaderSize || recordLength > available) return ParseResult::kStop;
  *length = recordLength;

  CCookieRecord r;
  r.m_type = at[2];
  r.m_protection = at[3];
  if (!validType(r.m_type)) return ParseResult::kSkip;
  if (r.m_protection != kPlain && r.m_protection != kProtected) return ParseResult::kSkip;

  const uint8_t* body = at + kHeaderSize;
  const size_t bodySize = recordLength - kHeaderSize;
  size_t pos = 0;
  if (!readText(body, bodySize, &pos, kMaxTextLength, &r.m_section)) return ParseResult::kSkip;
  if (!readText(body, bodySize, &pos, kMaxTextLength, &r.m_typeText)) return ParseResult::kSkip;
  if (r.isBinary()) {
    if (bodySize - pos < 4) return ParseResult::kSkip;
    r.m_binaryLength = readLe32(body + pos);
    pos += 4;
  }
  if (!readText(body, bodySize, &pos, kMaxTextLength, &r.m_name)) return ParseResult::kSkip;

  const size_t partSize = bodySize - pos;
  if (partSize == 0 || partSize % kBlock != 0) return ParseResult::kSkip;
  std::vector<uint8_t> part(body + pos, body + bodySize);
  cipher.decipher(part.data(), part.size());

  size_t passwordEnd = 0;
  if (!readText(part.data(), part.size(), &passwordEnd, kMaxTextLength, &r.m_password)) {
    return ParseResult::kSkip;
  }
  size_t innerOffset = passwordEnd;
  if (r.isProtected()) {
    innerOffset = r.m_password.size() + paddingAfter(r.m_password.size());
    // The password layer needs at least one whole block of its own.
    if (innerOffset >= part.size()) return ParseResult::kSkip;
  }
  r.m_inner.assign(part.begin() + static_cast<std::ptrdiff_t>(innerOffset), part.end());
  // A plain value can be checked now; a protected one only with its password.
  if (!r.isProtected() && !r.readInner(r.m_inner.data(), r.m_inner.size(), nullptr, nullptr)) {
    return ParseResult::kSkip;
  }
  r.m_body.assign(body, body + bodySize);
  out = std::move(r);
  return ParseResult::kRecord;
}

void CCookieRecord::serialize(uint8_t* out) const {
  const size_t n = length();
  out[0] = static_cast<uint8_t>(n & 0xFF);
  out[1] = static_cast<uint8_t>(n >> 8);
  out[2] = m_type;
  out[3] = m_protection;
  if (!m_body.empty()) std::memcpy(out + kHeaderSize, m_body.data(), m_body.size());
}

bool CCookieRecord::matches(uint8_t type, const std::string& section,
                            const std::string& name) const {
  return m_type == type && equalNoCase(m_section, section) && equalNoCase(m_name, name);
}

bool CCookieRecord::inSection(uint8_t type, const std::string& section) const {
  return m_type == type && equalNoCase(m_section, section);
}

bool CCookieRecord::setType(uint8_t type) {
  if (!validType(type)) return false;
  m_type = type;
  return true;
}

bool CCookieRecord::readInner(const uint8_t* inner, size_t size, std::string* check,
                              std::vector<uint8_t>* value) const {
  size_t pos = 0;
  std::string checkText;
  if (!readText(inner, size, &pos, size, &checkText)) return false;
  size_t valueLength = 0;
  if (isBinary()) {
    if (m_binaryLength > size - pos) return false;
    valueLength = m_binaryLength;
  } else {
    const void* end = std::memchr(inner + pos, 0, size - pos);
    if (end == nullptr) return false;
    valueLength = static_cast<size_t>(static_cast<const uint8_t*>(end) - (inner + pos));
  }
  if (check != nullptr) *check = std::move(checkText);
  if (value != nullptr) value->assign(inner + pos, inner + pos + valueLength);
  return true;
}

CCookieRecord::OpenResult CCookieRecord::open(const char* password, CCookieCipher& cipher,
                                              std::string* check,
                                              std::vector<uint8_t>* value) const {
  if (!isProtected()) {
    return readInner(m_inner.data(), m_inner.size(), check, value) ? OpenResult::kOk
                                                                   : OpenResult::kDamaged;
  }
  if (password == nullptr || m_password != password) return OpenResult::kWrongPassword;
  std::vector<uint8_t> inner = m_inner;
  if (!cipher.decipherWithPassword(password, inner.data(), inner.size())) {
    return OpenResult::kDamaged;
  }
  return readInner(inner.data(), inner.size(), check, value) ? OpenResult::kOk
                                                             : OpenResult::kDamaged;
}
