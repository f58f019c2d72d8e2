#include "CookieCipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Aes128.h"

namespace {

struct SerialKey {
  const char* serial;
  uint8_t key[16];
};

// key[i] = text[16 - i] ^ text[i], worked out by hand:
// "0F3B27000042": text[12..16] are zero, so key[0..4] are the first characters
// and key[12..15] mirror key[4..1]; key[5] = '2'^'7', key[6] = '4'^'0', and the
// middle pairs of '0's cancel.
// "ABCDEFGHIJKLMNOPQRST": key[0] = 'A'^'Q' = 0x10, key[1] = 'B'^'P' = 0x12, ...,
// key[3] = 'D'^'N' = 0x0A, key[7] = 'H'^'J' = 0x02, key[8] = 'I'^'I' = 0.
const SerialKey kSerialKeys[] = {
    {"0F3B27000042",
     {0x30, 0x46, 0x33, 0x42, 0x32, 0x05, 0x04, 0x00, 0x00, 0x00, 0x04, 0x05, 0x32, 0x42, 0x33,
      0x46}},
    {"ABCDEFGHIJKLMNOPQRST",
     {0x10, 0x12, 0x0C, 0x0A, 0x08, 0x0A, 0x0C, 0x02, 0x00, 0x02, 0x0C, 0x0A, 0x08, 0x0A, 0x0C,
      0x12}},
    {"", {}},
};

class DriveKeyTest : public ::testing::TestWithParam<SerialKey> {};

TEST_P(DriveKeyTest, DerivesTheKeyFromTheSerialText) {
  const SerialKey& c = GetParam();
  uint8_t key[16];
  CCookieCipher::deriveDriveKey(c.serial, key);
  EXPECT_EQ(std::vector<uint8_t>(key, key + 16), std::vector<uint8_t>(c.key, c.key + 16));
  CCookieCipher cipher(c.serial);
  EXPECT_EQ(std::vector<uint8_t>(cipher.driveKey(), cipher.driveKey() + 16),
            std::vector<uint8_t>(c.key, c.key + 16));
}

INSTANTIATE_TEST_SUITE_P(Serials, DriveKeyTest, ::testing::ValuesIn(kSerialKeys));

TEST(CookieCipherTest, ALongSerialIsReadOnlyAsFarAsItsBufferAndNullIsEmpty) {
  const std::string longSerial(400, 'Z');
  uint8_t key[16];
  CCookieCipher::deriveDriveKey(longSerial.c_str(), key);
  // Every pair inside the text: Z ^ Z.
  EXPECT_EQ(std::vector<uint8_t>(key, key + 16), std::vector<uint8_t>(16, 0));
  uint8_t none[16];
  CCookieCipher::deriveDriveKey(nullptr, none);
  EXPECT_EQ(std::vector<uint8_t>(none, none + 16), std::vector<uint8_t>(16, 0));
}

TEST(CookieCipherTest, PasswordKeyIsTheDriveKeyXorTheFirstSixteenPasswordBytes) {
  const uint8_t* drive = kSerialKeys[0].key;
  uint8_t key[16];
  // "secret": 73 65 63 72 65 74, the rest of the first 16 bytes zero.
  CCookieCipher::derivePasswordKey(drive, "secret", key);
  const uint8_t expected[16] = {
      0x30 ^ 0x73, 0x46 ^ 0x65, 0x33 ^ 0x63, 0x42 ^ 0x72, 0x32 ^ 0x65, 0x05 ^ 0x74, 0x04, 0x00,
      0x00,        0x00,        0x04,        0x05,        0x32,        0x42,        0x33, 0x46};
  EXPECT_EQ(std::vector<uint8_t>(key, key + 16), std::vector<uint8_t>(expected, expected + 16));
  // Characters past the sixteenth do not count.
  uint8_t longKey[16], cutKey[16];
  CCookieCipher::derivePasswordKey(drive, "0123456789abcdefXYZ", longKey);
  CCookieCipher::derivePasswordKey(drive, "0123456789abcdef", cutKey);
  EXPECT_EQ(std::vector<uint8_t>(longKey, longKey + 16), std::vector<uint8_t>(cutKey, cutKey + 16));
}

TEST(CookieCipherTest, PasswordCallsUseThePasswordKeyAndReturnToTheDriveKey) {
  CCookieCipher cipher("0F3B27000042");
  uint8_t passwordKey[16];
  CCookieCipher::derivePasswordKey(cipher.driveKey(), "pw", passwordKey);
  const CAes128 byDrive(cipher.driveKey()), byPassword(passwordKey);

  std::vector<uint8_t> data(32);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 11);
  std::vector<uint8_t> expected(32);

  std::vector<uint8_t> viaPassword = data;
  ASSERT_TRUE(cipher.encipherWithPassword("pw", viaPassword.data(), viaPassword.size()));
  byPassword.encipher(data.data(), expected.data(), data.size());
  EXPECT_EQ(viaPassword, expected);

  std::vector<uint8_t> viaDrive = data;
  ASSERT_TRUE(cipher.encipher(viaDrive.data(), viaDrive.size()));
  byDrive.encipher(data.data(), expected.data(), data.size());
  EXPECT_EQ(viaDrive, expected) << "the drive key was not restored";

  ASSERT_TRUE(cipher.decipherWithPassword("pw", viaPassword.data(), viaPassword.size()));
  EXPECT_EQ(viaPassword, data);
  ASSERT_TRUE(cipher.decipher(viaDrive.data(), viaDrive.size()));
  EXPECT_EQ(viaDrive, data);
}

TEST(CookieCipherTest, PartBlocksAreRefusedAndTheDriveKeyStillFollows) {
  CCookieCipher cipher("0F3B27000042");
  uint8_t odd[20] = {};
  EXPECT_FALSE(cipher.encipherWithPassword("pw", odd, sizeof odd));
  EXPECT_FALSE(cipher.encipher(odd, 15));
  std::vector<uint8_t> block(16, 7), expected(16);
  CAes128(cipher.driveKey()).encipher(block.data(), expected.data(), 16);
  ASSERT_TRUE(cipher.encipher(block.data(), 16));
  EXPECT_EQ(block, expected);
}

}  // namespace
