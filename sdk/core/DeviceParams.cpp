#include "DeviceParams.h"

#include <cctype>
#include <cstring>

bool DeviceParams::operator==(const DeviceParams& other) const {
  return id == other.id && capacity == other.capacity && driveMask == other.driveMask &&
         std::strncmp(revision, other.revision, sizeof(revision)) == 0 &&
         std::strncmp(serial, other.serial, sizeof(serial)) == 0 && status == other.status;
}

DeviceParams DeviceParams::forLetter(char letter) {
  DeviceParams params;
  params.driveMask = pdk::letterBit(letter);
  return params;
}

namespace pdk {

int copyTextResult(const char* text, size_t length, char* buffer, uint32_t& size) {
  const uint32_t needed = static_cast<uint32_t>(length + 1);
  if (buffer == nullptr || size < needed) {
    size = needed;
    return kBufferTooSmall;
  }
  if (length > 0) std::memcpy(buffer, text, length);  // an empty text may have no storage
  buffer[length] = '\0';
  size = needed;
  return kOk;
}

uint32_t letterBit(char letter) {
  const int upper = std::toupper(static_cast<unsigned char>(letter));
  if (upper < 'A' || upper > 'Z') return 0;
  return 1u << (upper - 'A');
}

char lowestLetter(uint32_t driveMask) {
  for (int bit = 0; bit < 26; ++bit) {
    if (driveMask & (1u << bit)) return static_cast<char>('A' + bit);
  }
  return '\0';
}

}  // namespace pdk
