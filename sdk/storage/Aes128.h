// The block cipher of the hidden-area store: AES with a 128-bit key, each
// 16-byte block on its own (ECB). Portable code.
#pragma once

#include <cstddef>
#include <cstdint>

class CAes128 {
 public:
  static constexpr size_t kBlockSize = 16;
  static constexpr size_t kKeySize = 16;

  // Starts with the all-zero key.
  CAes128();
  explicit CAes128(const uint8_t key[kKeySize]);

  void setKey(const uint8_t key[kKeySize]);

  // Whole blocks only: false, with nothing written, when length is not a
  // multiple of 16 or a buffer is missing. in and out may be the same buffer.
  bool encipher(const uint8_t* in, uint8_t* out, size_t length) const;
  bool decipher(const uint8_t* in, uint8_t* out, size_t length) const;

 private:
  static constexpr int kRounds = 10;

  void encipherBlock(const uint8_t* in, uint8_t* out) const;
  void decipherBlock(const uint8_t* in, uint8_t* out) const;

  uint8_t m_roundKeys[(kRounds + 1) * kBlockSize];
};
