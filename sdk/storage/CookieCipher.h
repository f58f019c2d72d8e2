// The keys of the hidden-area store: the drive key, derived from the drive's
// serial number, and the key of a cookie password, derived from the drive key.
// The cipher always rests on the drive key; a password key is set only for the
// one call that needs it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Aes128.h"

class CCookieCipher {
 public:
  static constexpr size_t kKeySize = CAes128::kKeySize;
  // The serial text is read from a zero-padded buffer of this size.
  static constexpr size_t kSerialBufferSize = 256;
  // A password is taken from a zero-padded buffer of this size.
  static constexpr size_t kPasswordBufferSize = 32;

  explicit CCookieCipher(const char* serial = nullptr);

  // Derives and sets the drive key of this serial number (null counts as empty).
  void setSerial(const char* serial);
  const uint8_t* driveKey() const { return m_driveKey; }

  // key byte i = text[16 - i] XOR text[i], i = 0..15.
  static void deriveDriveKey(const char* serial, uint8_t key[kKeySize]);
  // The drive key XOR the first 16 bytes of the password (null counts as empty).
  static void derivePasswordKey(const uint8_t driveKey[kKeySize], const char* password,
                                uint8_t key[kKeySize]);

  // In place, with the drive key; false for a length that is not a multiple of 16.
  bool encipher(uint8_t* data, size_t length) const;
  bool decipher(uint8_t* data, size_t length) const;
  // In place, with the key of this password; the drive key is back afterwards.
  bool encipherWithPassword(const char* password, uint8_t* data, size_t length);
  bool decipherWithPassword(const char* password, uint8_t* data, size_t length);

 private:
  // Runs work with the key of a cookie password, then returns to the drive key.
  template <typename Work>
  bool withPasswordKey(const char* password, Work work);

  uint8_t m_driveKey[kKeySize];
  CAes128 m_aes;
};
