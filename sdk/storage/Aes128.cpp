#include "Aes128.h"

#include <array>
#include <cstring>

namespace {

using Table = std::array<uint8_t, 256>;

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t xtime(uint8_t a) {
  return static_cast<uint8_t>((a << 1) ^ ((a & 0x80) != 0 ? 0x1B : 0x00));
}

constexpr uint8_t multiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  while (b != 0) {
    if ((b & 1) != 0) product ^= a;
    a = xtime(a);
    b = static_cast<uint8_t>(b >> 1);
  }
  return product;
}

constexpr uint8_t rotateLeft(uint8_t v, int n) {
  return static_cast<uint8_t>((v << n) | (v >> (8 - n)));
}

// The substitution box is derived rather than typed in: multiplicative inverse
// (3 generates the field's group, so inverses come from the power table) followed
// by the affine map. A mistyped table entry is thus impossible.
constexpr Table makeSubstitution() {
  Table power{}, logarithm{};
  uint8_t value = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = value;
    logarithm[value] = static_cast<uint8_t>(i);
    value = multiply(value, 3);
  }
  Table box{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t inverse = x == 0 ? 0 : power[(255 - logarithm[x]) % 255];
    box[x] = static_cast<uint8_t>(inverse ^ rotateLeft(inverse, 1) ^ rotateLeft(inverse, 2) ^
                                  rotateLeft(inverse, 3) ^ rotateLeft(inverse, 4) ^ 0x63);
  }
  return box;
}

constexpr Table makeInverse(const Table& box) {
  Table inverse{};
  for (int x = 0; x < 256; ++x) inverse[box[x]] = static_cast<uint8_t>(x);
  return inverse;
}

constexpr Table makeProducts(uint8_t factor) {
  Table products{};
  for (int x = 0; x < 256; ++x) products[x] = multiply(static_cast<uint8_t>(x), factor);
  return products;
}

constexpr Table kSubstitution = makeSubstitution();
constexpr Table kInverseSubstitution = makeInverse(kSubstitution);
// Products by the column coefficients, looked up instead of multiplied per byte.
constexpr Table kTimes2 = makeProducts(2), kTimes3 = makeProducts(3), kTimes9 = makeProducts(9),
                kTimes11 = makeProducts(11), kTimes13 = makeProducts(13),
                kTimes14 = makeProducts(14);

// The state is kept as 16 bytes in input order: byte 4 * column + row.
void addRoundKey(uint8_t* state, const uint8_t* roundKey) {
  for (size_t i = 0; i < CAes128::kBlockSize; ++i) state[i] ^= roundKey[i];
}

void substitute(uint8_t* state, const Table& box) {
  for (size_t i = 0; i < CAes128::kBlockSize; ++i) state[i] = box[state[i]];
}

// Row r moves r columns to the left (right when inverting).
void shiftRows(uint8_t* state, bool inverse) {
  uint8_t copy[CAes128::kBlockSize];
  std::memcpy(copy, state, sizeof copy);
  for (int row = 1; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      const int from = inverse ? (column + 4 - row) % 4 : (column + row) % 4;
      state[4 * column + row] = copy[4 * from + row];
    }
  }
}

void mixColumns(uint8_t* state, bool inverse) {
  for (int column = 0; column < 4; ++column) {
    uint8_t* s = state + 4 * column;
    const uint8_t a0 = s[0], a1 = s[1], a2 = s[2], a3 = s[3];
    if (inverse) {
      // Rows of the inverse column matrix: 14 11 13 9, rotated.
      s[0] = kTimes14[a0] ^ kTimes11[a1] ^ kTimes13[a2] ^ kTimes9[a3];
      s[1] = kTimes9[a0] ^ kTimes14[a1] ^ kTimes11[a2] ^ kTimes13[a3];
      s[2] = kTimes13[a0] ^ kTimes9[a1] ^ kTimes14[a2] ^ kTimes11[a3];
      s[3] = kTimes11[a0] ^ kTimes13[a1] ^ kTimes9[a2] ^ kTimes14[a3];
    } else {
      // Rows of the column matrix: 2 3 1 1, rotated.
      s[0] = kTimes2[a0] ^ kTimes3[a1] ^ a2 ^ a3;
      s[1] = a0 ^ kTimes2[a1] ^ kTimes3[a2] ^ a3;
      s[2] = a0 ^ a1 ^ kTimes2[a2] ^ kTimes3[a3];
      s[3] = kTimes3[a0] ^ a1 ^ a2 ^ kTimes2[a3];
    }
  }
}

}  // namespace

CAes128::CAes128() {
  const uint8_t zero[kKeySize] = {};
  setKey(zero);
}

CAes128::CAes128(const uint8_t key[kKeySize]) { setKey(key); }

void CAes128::setKey(const uint8_t key[kKeySize]) {
  std::memcpy(m_roundKeys, key, kKeySize);
  uint8_t roundConstant = 1;
  for (size_t at = kKeySize; at < sizeof m_roundKeys; at += 4) {
    uint8_t word[4];
    std::memcpy(word, m_roundKeys + at - 4, 4);
    if (at % kKeySize == 0) {
      const uint8_t first = word[0];
      word[0] = static_cast<uint8_t>(kSubstitution[word[1]] ^ roundConstant);
      word[1] = kSubstitution[word[2]];
      word[2] = kSubstitution[word[3]];
      word[3] = kSubstitution[first];
      roundConstant = xtime(roundConstant);
    }
    for (int i = 0; i < 4; ++i) m_roundKeys[at + i] = m_roundKeys[at - kKeySize + i] ^ word[i];
  }
}

void CAes128::encipherBlock(const uint8_t* in, uint8_t* out) const {
  uint8_t state[kBlockSize];
  std::memcpy(state, in, kBlockSize);
  addRoundKey(state, m_roundKeys);
  for (int round = 1; round <= kRounds; ++round) {
    substitute(state, kSubstitution);
    shiftRows(state, false);
    if (round != kRounds) mixColumns(state, false);
    addRoundKey(state, m_roundKeys + round * kBlockSize);
  }
  std::memcpy(out, state, kBlockSize);
}

void CAes128::decipherBlock(const uint8_t* in, uint8_t* out) const {
  uint8_t state[kBlockSize];
  std::memcpy(state, in, kBlockSize);
  addRoundKey(state, m_roundKeys + kRounds * kBlockSize);
  for (int round = kRounds - 1; round >= 0; --round) {
    shiftRows(state, true);
    substitute(state, kInverseSubstitution);
    addRoundKey(state, m_roundKeys + round * kBlockSize);
    if (round != 0) mixColumns(state, true);
  }
  std::memcpy(out, state, kBlockSize);
}

bool CAes128::encipher(const uint8_t* in, uint8_t* out, size_t length) const {
  if (length % kBlockSize != 0) return false;
  if (length != 0 && (in == nullptr || out == nullptr)) return false;
  for (size_t at = 0; at < length; at += kBlockSize) encipherBlock(in + at, out + at);
  return true;
}

bool CAes128::decipher(const uint8_t* in, uint8_t* out, size_t length) const {
  if (length % kBlockSize != 0) return false;
  if (length != 0 && (in == nullptr || out == nullptr)) return false;
  for (size_t at = 0; at < length; at += kBlockSize) decipherBlock(in + at, out + at);
  return true;
}
