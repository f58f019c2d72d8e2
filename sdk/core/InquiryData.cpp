#include "InquiryData.h"

namespace {

constexpr size_t kVendorOffset = 8;
constexpr size_t kVendorLength = 8;
constexpr size_t kProductOffset = 16;
constexpr size_t kProductLength = 16;
constexpr size_t kRevisionOffset = 32;
constexpr size_t kRevisionLength = 5;

std::string field(const uint8_t* answer, size_t length, size_t offset, size_t width) {
  std::string text;
  for (size_t i = offset; i < offset + width && i < length && answer[i] != 0; ++i) {
    text.push_back(static_cast<char>(answer[i]));
  }
  const size_t last = text.find_last_not_of(' ');
  text.resize(last == std::string::npos ? 0 : last + 1);
  return text;
}

}  // namespace

CInquiryData::CInquiryData(const uint8_t* answer, size_t length) {
  if (answer == nullptr) length = 0;
  if (length > kKeptBytes) length = kKeptBytes;
  m_vendor = field(answer, length, kVendorOffset, kVendorLength);
  m_product = field(answer, length, kProductOffset, kProductLength);
  m_revision = field(answer, length, kRevisionOffset, kRevisionLength);
}

bool CInquiryData::productNamesDrive() const {
  return m_product.find("Plunda") != std::string::npos ||
         m_product.find("Storage Media") != std::string::npos;
}

bool CInquiryData::revisionRefused(const char* revision) {
  return revision != nullptr && revision[0] == '1';
}

bool CInquiryData::revisionIdentifies(const char* revision) {
  if (revision == nullptr) return false;
  // Compared as bytes, so the answer does not depend on the signedness of char.
  const auto at = [revision](size_t i) { return static_cast<unsigned char>(revision[i]); };
  if (at(0) >= '3') return true;
  // revision[1] is the separator; a text that ends there has no minor digit.
  return at(0) == '2' && at(1) != '\0' && at(2) >= '7';
}
