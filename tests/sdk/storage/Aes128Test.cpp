#include "Aes128.h"
#include "RunCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#endif

namespace {

std::vector<uint8_t> fromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::string toHex(const uint8_t* data, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out.push_back(digits[data[i] >> 4]);
    out.push_back(digits[data[i] & 15]);
  }
  return out;
}

struct KnownAnswer {
  const char* what;
  const char* key;
  const char* plain;
  const char* cipher;
};

// The published AES-128 examples: the worked cipher example and the
// example vector of the 128-bit key.
const KnownAnswer kKnownAnswers[] = {
    {"worked example", "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {"example vector AES-128", "000102030405060708090a0b0c0d0e0f",
     "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
};

class Aes128KnownAnswerTest : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(Aes128KnownAnswerTest, EnciphersAndDeciphersTheVector) {
  const KnownAnswer& k = GetParam();
  const std::vector<uint8_t> key = fromHex(k.key), plain = fromHex(k.plain);
  CAes128 aes(key.data());
  uint8_t out[16] = {};
  ASSERT_TRUE(aes.encipher(plain.data(), out, 16));
  EXPECT_EQ(toHex(out, 16), k.cipher);
  uint8_t back[16] = {};
  ASSERT_TRUE(aes.decipher(out, back, 16));
  EXPECT_EQ(toHex(back, 16), k.plain);
}

INSTANTIATE_TEST_SUITE_P(Published, Aes128KnownAnswerTest, ::testing::ValuesIn(kKnownAnswers));

TEST(Aes128Test, EachBlockIsEncipheredOnItsOwnAndInPlaceGivesTheSameBytes) {
  const std::vector<uint8_t> key = fromHex(kKnownAnswers[1].key);
  const std::vector<uint8_t> block = fromHex(kKnownAnswers[1].plain);
  std::vector<uint8_t> three;
  for (int i = 0; i < 3; ++i) three.insert(three.end(), block.begin(), block.end());
  CAes128 aes;
  aes.setKey(key.data());
  std::vector<uint8_t> out(three.size());
  ASSERT_TRUE(aes.encipher(three.data(), out.data(), out.size()));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(toHex(out.data() + 16 * i, 16), kKnownAnswers[1].cipher);
  std::vector<uint8_t> inPlace = three;
  ASSERT_TRUE(aes.encipher(inPlace.data(), inPlace.data(), inPlace.size()));
  EXPECT_EQ(inPlace, out);
  ASSERT_TRUE(aes.decipher(inPlace.data(), inPlace.data(), inPlace.size()));
  EXPECT_EQ(inPlace, three);
}

TEST(Aes128Test, SetKeyReplacesTheEarlierKey) {
  const std::vector<uint8_t> first = fromHex(kKnownAnswers[0].key);
  const std::vector<uint8_t> second = fromHex(kKnownAnswers[1].key);
  CAes128 aes(first.data());
  aes.setKey(second.data());
  const std::vector<uint8_t> plain = fromHex(kKnownAnswers[1].plain);
  uint8_t out[16];
  ASSERT_TRUE(aes.encipher(plain.data(), out, 16));
  EXPECT_EQ(toHex(out, 16), kKnownAnswers[1].cipher);
}

class Aes128LengthTest : public ::testing::TestWithParam<size_t> {};

TEST_P(Aes128LengthTest, LengthsOfPartBlocksAreRefusedAndNothingIsWritten) {
  const size_t length = GetParam();
  CAes128 aes;
  std::vector<uint8_t> in(length + 16, 0x5A), out(length + 16, 0xEE);
  EXPECT_FALSE(aes.encipher(in.data(), out.data(), length));
  EXPECT_FALSE(aes.decipher(in.data(), out.data(), length));
  EXPECT_EQ(out, std::vector<uint8_t>(length + 16, 0xEE));
}

INSTANTIATE_TEST_SUITE_P(PartBlocks, Aes128LengthTest, ::testing::Values(1, 15, 17, 31, 33, 511));

// ---- comparison with the openssl command-line tool --------------------------

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Runs openssl in either direction over data; fails the test when it does not run.
std::vector<uint8_t> openssl(bool decipher, const std::vector<uint8_t>& key,
                             const std::vector<uint8_t>& data) {
  const std::string base =
      ::testing::TempDir() + "aes128_openssl_" + std::to_string(std::random_device{}());
  writeFile(base + ".in", data);
  std::string output;
  const std::string command =
      "openssl enc -aes-128-ecb -nopad" + std::string(decipher ? " -d" : "") + " -K " +
      toHex(key.data(), key.size()) + " -in " + base + ".in -out " + base + ".out";
  EXPECT_TRUE(runCommand(command, &output)) << command << "\n" << output;
  std::vector<uint8_t> result = readFile(base + ".out");
  std::remove((base + ".in").c_str());
  std::remove((base + ".out").c_str());
  return result;
}

TEST(Aes128OpensslTest, AgreesWithOpensslOnRandomKeysAndData) {
  std::string version;
  if (!runCommand("openssl version", &version)) {
    GTEST_SKIP() << "the openssl command cannot be run here (under Wine it is a Linux program; "
                    "the native run of this test compares against it)";
  }
  // A fresh seed each run widens the coverage; it is printed so a failure can be replayed.
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (size_t blocks : {1u, 2u, 7u, 64u, 300u}) {
    std::vector<uint8_t> key(16), data(16 * blocks);
    for (uint8_t& b : key) b = static_cast<uint8_t>(random());
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    CAes128 aes(key.data());
    std::vector<uint8_t> ours(data.size());
    ASSERT_TRUE(aes.encipher(data.data(), ours.data(), data.size()));
    EXPECT_EQ(ours, openssl(false, key, data)) << blocks << " blocks";
    std::vector<uint8_t> back(data.size());
    ASSERT_TRUE(aes.decipher(data.data(), back.data(), data.size()));
    EXPECT_EQ(back, openssl(true, key, data)) << blocks << " blocks, deciphering";
  }
}

}  // namespace
