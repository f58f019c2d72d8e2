#include "CookieCipher.h"

#include <cstring>

namespace {

// Copies text into a zero-padded buffer, cut so that a NUL always remains.
template <size_t N>
void padded(const char* text, uint8_t (&buffer)[N]) {
  std::memset(buffer, 0, N);
  if (text == nullptr) return;
  for (size_t i = 0; i + 1 < N && text[i] != '\0'; ++i) buffer[i] = static_cast<uint8_t>(text[i]);
}

}  // namespace

CCookieCipher::CCookieCipher(const char* serial) { setSerial(serial); }

void CCookieCipher::setSerial(const char* serial) {
  deriveDriveKey(serial, m_driveKey);
  m_aes.setKey(m_driveKey);
}

void CCookieCipher::deriveDriveKey(const char* serial, uint8_t key[kKeySize]) {
  uint8_t text[kSerialBufferSize];
  padded(serial, text);
  for (size_t i = 0; i < kKeySize; ++i) key[i] = text[16 - i] ^ text[i];
}

void CCookieCipher::derivePasswordKey(const uint8_t driveKey[kKeySize], const char* password,
                                      uint8_t key[kKeySize]) {
  uint8_t text[kPasswordBufferSize];
  padded(password, text);
  for (size_t i = 0; i < kKeySize; ++i) key[i] = driveKey[i] ^ text[i];
}

bool CCookieCipher::encipher(uint8_t* data, size_t length) const {
  return m_aes.encipher(data, data, length);
}

bool CCookieCipher::decipher(uint8_t* data, size_t length) const {
  return m_aes.decipher(data, data, length);
}

template <typename Work>
bool CCookieCipher::withPasswordKey(const char* password, Work work) {
  uint8_t key[kKeySize];
  derivePasswordKey(m_driveKey, password, key);
  m_aes.setKey(key);
  const bool done = work();
  // Every other use of the cipher expects the drive key.
  m_aes.setKey(m_driveKey);
  return done;
}

bool CCookieCipher::encipherWithPassword(const char* password, uint8_t* data, size_t length) {
  return withPasswordKey(password, [&] { return m_aes.encipher(data, data, length); });
}

bool CCookieCipher::decipherWithPassword(const char* password, uint8_t* data, size_t length) {
  return withPasswordKey(password, [&] { return m_aes.decipher(data, data, length); });
}
