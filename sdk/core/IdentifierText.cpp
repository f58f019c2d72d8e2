#include "IdentifierText.h"

namespace {

bool separates(uint8_t c) { return c == ' ' || c == '\t' || c == '\n'; }

// The serial follows "Vantrel", "Plunda" and a separator after each.
constexpr size_t kLongestSerial =
    CIdentifierText::kKeptBytes - CIdentifierText::kTextOffset - sizeof("Vantrel Plunda ") + 1;
static_assert(kLongestSerial < sizeof(DeviceParams::serial),
              "a serial of the kept text always fits the serial field");

}  // namespace

CIdentifierText::CIdentifierText(const uint8_t* answer, size_t length) {
  if (answer == nullptr) length = 0;
  const size_t end = length < kKeptBytes ? length : kKeptBytes;
  std::string word;
  for (size_t i = kTextOffset; i < end && answer[i] != 0; ++i) {
    if (separates(answer[i])) {
      if (!word.empty()) m_words.push_back(word);
      word.clear();
    } else {
      word.push_back(static_cast<char>(answer[i]));
    }
  }
  if (!word.empty()) m_words.push_back(word);
}

bool CIdentifierText::namesDrive() const {
  return m_words.size() >= 2 && m_words[0] == "Vantrel" && m_words[1] == "Plunda";
}

std::string CIdentifierText::serial() const {
  return m_words.size() > 2 ? m_words[2] : std::string();
}

bool CIdentifierText::applyTo(DeviceParams& params) const {
  if (!namesDrive()) return false;
  pdk::setText(params.serial, serial().c_str());
  params.usbVendorId = kMakerUsbVendorId;
  params.status = pdk::kOk;
  return true;
}
