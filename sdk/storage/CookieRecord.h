// One record of a hidden-area page: header, section, type and name texts, and
// the value part enciphered with the drive key. The record keeps the value part
// exactly as it lies on the drive, so writing a page back never needs a key and
// never changes a record the store did not touch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CCookieCipher;

class CCookieRecord {
 public:
  static constexpr size_t kHeaderSize = 4;
  // Section, name, type text and password each live in 32-byte fields.
  static constexpr size_t kMaxTextLength = 31;
  // The type field also holds the 32-bit length after a "bin" type text.
  static constexpr size_t kTypeFieldSize = 32;
  // The largest record a page can take: 511 usable bytes minus the page header.
  static constexpr size_t kMaxLength = 511 - 5;

  static constexpr uint8_t kTypeCookie = 3;
  static constexpr uint8_t kPlain = 1;
  static constexpr uint8_t kProtected = 2;
  static constexpr const char* kCheckText = "12P43";
  static constexpr const char* kTypeString = "string";
  static constexpr const char* kTypeInt = "int";
  static constexpr const char* kTypeBinary = "bin";

  enum class ParseResult {
    kRecord,  // a record was built; *length bytes were used
    kSkip,    // not a usable record, but its *length bytes lie inside the page
    kStop,    // no length that could be trusted: nothing more of the page is usable
  };

  enum class OpenResult { kOk, kWrongPassword, kDamaged };

  CCookieRecord() = default;

  // Builds a record. value is text for every type but "bin" (no NUL inside) and
  // raw bytes for "bin", whose length goes into the type field. An empty
  // password gives a plain record, any other a protected one. False, and the
  // record left as it was, when a text is too long, a text holds a NUL, the type
  // byte is outside 1..4, or the record would not fit into an empty page.
  bool build(uint8_t type, const std::string& section, const std::string& typeText,
             const std::string& name, const std::string& password, const std::string& check,
             const uint8_t* value, size_t valueLength, CCookieCipher& cipher);

  // Reads the record at `at`, of which `available` bytes belong to the page.
  // Never reads past at + available.
  static ParseResult parse(const uint8_t* at, size_t available, CCookieCipher& cipher,
                           CCookieRecord& out, size_t* length);

  // Bytes on the drive, header included.
  size_t length() const { return kHeaderSize + m_body.size(); }
  // Writes length() bytes.
  void serialize(uint8_t* out) const;

  // Same type byte, and section and name equal without regard to case.
  bool matches(uint8_t type, const std::string& section, const std::string& name) const;
  // Same type byte and section, without regard to case.
  bool inSection(uint8_t type, const std::string& section) const;
  bool sameKey(const CCookieRecord& other) const {
    return matches(other.m_type, other.m_section, other.m_name);
  }

  // A record that was neither built nor parsed.
  bool empty() const { return m_body.empty(); }
  uint8_t type() const { return m_type; }
  // The type byte lies outside the enciphered part, so it can change freely;
  // false for a value outside 1..4.
  bool setType(uint8_t type);
  bool isProtected() const { return m_protection == kProtected; }
  const std::string& section() const { return m_section; }
  const std::string& typeText() const { return m_typeText; }
  const std::string& name() const { return m_name; }
  bool isBinary() const { return m_typeText == kTypeBinary; }
  uint32_t binaryLength() const { return m_binaryLength; }

  // The check text and the value. A plain record opens with any password; a
  // protected one only with its own (compared exactly).
  OpenResult open(const char* password, CCookieCipher& cipher, std::string* check,
                  std::vector<uint8_t>* value) const;

 private:
  // Reads "check NUL value NUL" (value of binaryLength bytes for "bin").
  bool readInner(const uint8_t* inner, size_t size, std::string* check,
                 std::vector<uint8_t>* value) const;
  void encodeBody(const std::vector<uint8_t>& valuePart);

  uint8_t m_type = kTypeCookie;
  uint8_t m_protection = kPlain;
  std::string m_section;
  std::string m_typeText;
  uint32_t m_binaryLength = 0;
  std::string m_name;
  std::string m_password;  // from under the drive key
  // Second piece of the value part: plain, or still under the password key.
  std::vector<uint8_t> m_inner;
  std::vector<uint8_t> m_body;  // everything after the header, as on the drive
};
