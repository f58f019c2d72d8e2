#include "ScsiCdb.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> bytesOf(const pdk::ScsiCdb& cdb) {
  return std::vector<uint8_t>(cdb.bytes, cdb.bytes + cdb.length);
}

TEST(ScsiCdbTest, CommandBlocksCarryTheirFieldsBigEndian) {
  EXPECT_EQ(bytesOf(pdk::read10Cdb(0x12345678, 200)),
            (std::vector<uint8_t>{0x28, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 200, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bytesOf(pdk::write10Cdb(1, 1)),
            (std::vector<uint8_t>{0x2A, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bytesOf(pdk::readCapacityCdb()),
            std::vector<uint8_t>({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bytesOf(pdk::inquiryCdb(128)), (std::vector<uint8_t>{0x12, 0, 0, 0, 128, 0}));
  EXPECT_EQ(bytesOf(pdk::reportIdentifierCdb(46)),
            (std::vector<uint8_t>{0xA3, 0x05, 0, 0, 0, 0, 0, 0, 0, 46, 0, 0}));
}

TEST(ScsiCdbTest, VendorCommandPutsTheSubCodeLowByteFirstAndSignsWithTorm) {
  const uint8_t params[7] = {1, 2, 3, 4, 5, 6, 7};
  pdk::ScsiCdb cdb;
  ASSERT_TRUE(pdk::vendorCdb(0x0131, params, 6, &cdb));
  EXPECT_EQ(bytesOf(cdb),
            (std::vector<uint8_t>{0xFF, 0x31, 0x01, 1, 2, 3, 4, 5, 6, 0, 'T', 'O', 'R', 'M'}));
  ASSERT_TRUE(pdk::vendorCdb(0x0048, params, 7, &cdb));
  EXPECT_EQ(cdb.bytes[9], 7);
  EXPECT_FALSE(pdk::vendorCdb(0x0048, params, 8, &cdb));
  EXPECT_FALSE(pdk::vendorCdb(0x0048, nullptr, 1, &cdb));
}

TEST(ScsiCdbTest, CapacityIgnoresTheTopByteOfTheLastBlock) {
  const struct {
    uint8_t answer[8];
    uint32_t kilobytes;
  } cases[] = {
      {{0x00, 0x03, 0xFF, 0xFF, 0, 0, 2, 0}, 0x20000},  // 256 MB
      {{0x7F, 0x03, 0xFF, 0xFF, 0, 0, 2, 0}, 0x20000},  // byte 0 not used
      {{0x00, 0x00, 0x00, 0x00, 0, 0, 2, 0}, 0},        // one block rounds down
      {{0x00, 0xFF, 0xFF, 0xFF, 0, 0, 2, 0}, 0x800000},
  };
  for (const auto& c : cases) EXPECT_EQ(pdk::capacityKilobytes(c.answer), c.kilobytes);
}

TEST(ScsiCdbTest, FrameHeaderIsTheSignatureAndTwelveFFBytes) {
  uint8_t data[20] = {};
  pdk::writeFrameHeader(data);
  EXPECT_TRUE(pdk::hasFrameSignature(data));
  for (int i = 4; i < 16; ++i) EXPECT_EQ(data[i], 0xFF);
  EXPECT_EQ(data[16], 0);
  data[3] = 'P';
  EXPECT_FALSE(pdk::hasFrameSignature(data));
}

}  // namespace
