// The configuration block, UCL probe, acknowledge and hidden-area sub-codes,
// driven through execute() the way a transport drives them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RawBlock.h"
#include "emulator/EmulatedDrive.h"

namespace {

using emu::CEmulatedDrive;
using emu::DriveConfig;
using emu::ScsiResult;

constexpr uint32_t kSectors = 64;

DriveConfig testConfig() {
  DriveConfig c;
  c.serial = "SN0001";
  c.sectorCount = kSectors;
  return c;
}

DriveConfig uclConfig() {
  DriveConfig c = testConfig();
  c.ucl = true;
  c.serial.clear();
  return c;
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 13);
  return v;
}

ScsiResult run(CEmulatedDrive& drive, const std::vector<uint8_t>& cdb, std::vector<uint8_t>& buffer,
               bool dataIn) {
  return drive.execute(cdb.data(), cdb.size(), buffer.empty() ? nullptr : buffer.data(),
                       uint32_t(buffer.size()), dataIn);
}

// The page travels as 16 bits, the try word as 32, both low byte first.
std::vector<uint8_t> hiddenRead(uint16_t page, uint32_t tryWord = 0) {
  return raw::cdb::vendor(
      0x0131, {uint8_t(page), uint8_t(page >> 8), uint8_t(tryWord), uint8_t(tryWord >> 8),
               uint8_t(tryWord >> 16), uint8_t(tryWord >> 24)});
}

std::vector<uint8_t> hiddenWrite(uint16_t page) {
  return raw::cdb::vendor(0x0130, {uint8_t(page), uint8_t(page >> 8)});
}

std::vector<uint8_t> readConfig(CEmulatedDrive& drive) {
  std::vector<uint8_t> block(16, 0xAA);
  EXPECT_EQ(run(drive, raw::cdb::vendor(0x004A), block, true).status, emu::kStatusGood);
  return block;
}

std::vector<uint8_t> readPage(CEmulatedDrive& drive, uint8_t page) {
  std::vector<uint8_t> data(512, 0xAA);
  EXPECT_EQ(run(drive, hiddenRead(page), data, true).status, emu::kStatusGood);
  return data;
}

// ---- refusals: status, sense and an untouched buffer -------------------------------

struct RefusalCase {
  const char* name;
  bool ucl;
  std::vector<uint8_t> cdb;
  bool dataIn;
  uint32_t bufferLength;
  uint8_t asc;  // ILLEGAL REQUEST and this code
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

const RefusalCase kRefusals[] = {
    {"configReadShort", false, raw::cdb::vendor(0x004A), true, 15, 0x1A},
    {"configReadDataOut", false, raw::cdb::vendor(0x004A), false, 16, 0x24},
    {"configWriteShort", false, raw::cdb::vendor(0x0049), false, 15, 0x1A},
    {"configWriteDataIn", false, raw::cdb::vendor(0x0049), true, 16, 0x24},
    {"uclProbeOnPlainDrive", false, raw::cdb::vendor(0x0072), true, 4, 0x24},
    {"uclProbeShort", true, raw::cdb::vendor(0x0072), true, 3, 0x1A},
    {"uclProbeDataOut", true, raw::cdb::vendor(0x0072), false, 4, 0x24},
    {"acknowledgeWithData", false, raw::cdb::vendor(0x0043), true, 1, 0x1A},
    {"hiddenReadShort", false, hiddenRead(0), true, 511, 0x1A},
    {"hiddenReadDataOut", false, hiddenRead(0), false, 512, 0x24},
    {"hiddenReadPage32", false, hiddenRead(32), true, 512, 0x21},
    {"hiddenReadPage255", false, hiddenRead(255), true, 512, 0x21},
    {"hiddenReadTryWord2", false, hiddenRead(0, 2), true, 512, 0x24},
    {"hiddenReadTryWordHighByte", false, hiddenRead(0, 0x01000000), true, 512, 0x24},
    {"hiddenReadPageHighByte", false, hiddenRead(0x0100), true, 512, 0x21},
    {"hiddenWriteShort", false, hiddenWrite(0), false, 511, 0x1A},
    {"hiddenWriteDataIn", false, hiddenWrite(0), true, 512, 0x24},
    {"hiddenWritePage32", false, hiddenWrite(32), false, 512, 0x21},
    {"hiddenWritePageHighByte", false, hiddenWrite(0x0100), false, 512, 0x21},
};

class VendorRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(VendorRefusals, CheckConditionAndNothingChanges) {
  const RefusalCase& c = GetParam();
  CEmulatedDrive drive(c.ucl ? uclConfig() : testConfig());
  const std::vector<uint8_t> configBefore = readConfig(drive);
  std::vector<uint8_t> buffer(c.bufferLength, 0x5A);
  const ScsiResult r = run(drive, c.cdb, buffer, c.dataIn);
  EXPECT_TRUE(r.delivered);
  EXPECT_EQ(r.status, emu::kStatusCheckCondition);
  EXPECT_EQ(r.transferred, 0u);
  EXPECT_EQ(r.sense.key, emu::kSenseKeyIllegalRequest);
  EXPECT_EQ(r.sense.asc, c.asc);
  EXPECT_EQ(buffer, std::vector<uint8_t>(c.bufferLength, 0x5A));
  // A refused write leaves the block and every page as they were.
  EXPECT_EQ(readConfig(drive), configBefore);
  for (uint8_t page = 0; page < 32; ++page)
    EXPECT_EQ(readPage(drive, page), std::vector<uint8_t>(512, 0xFF)) << "page " << int(page);
}

INSTANTIATE_TEST_SUITE_P(Drive, VendorRefusals, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& i) {
                           return std::string(i.param.name);
                         });

// ---- configuration block --------------------------------------------------------

TEST(ConfigBlock, InitialBlockCarriesThePresentationWord) {
  struct Case {
    bool removable;
    uint8_t byte8;
  };
  for (const Case k : {Case{true, 1}, Case{false, 0}}) {
    DriveConfig c = testConfig();
    c.removable = k.removable;
    c.unitFactorA = 8;  // a fixed disk needs at least one unit of flash
    c.unitFactorB = 8;
    CEmulatedDrive drive(c);
    std::vector<uint8_t> expected(16, 0);
    expected[8] = k.byte8;
    EXPECT_EQ(readConfig(drive), expected) << "removable " << k.removable;
  }
}

TEST(ConfigBlock, WrittenBlockReadsBackByteForByte) {
  CEmulatedDrive drive(testConfig());
  // Byte 8 without the protection bit, so the block round-trips on its own.
  std::vector<uint8_t> block = pattern(16, 0x31);
  block[8] = 0xFD;
  const ScsiResult w = run(drive, raw::cdb::vendor(0x0049), block, false);
  EXPECT_EQ(w.status, emu::kStatusGood);
  EXPECT_EQ(w.transferred, 16u);
  EXPECT_EQ(readConfig(drive), block);

  // Setting protection changes byte 8 only; the other bytes keep what was written.
  block[8] |= 0x02;
  run(drive, raw::cdb::vendor(0x0049), block, false);
  EXPECT_EQ(readConfig(drive), block);
}

std::vector<uint8_t> protectedBlock() {
  std::vector<uint8_t> block(16, 0);
  block[8] = 0x03;  // removable presentation with the write-protect switch on
  return block;
}

TEST(ConfigBlock, WriteProtectionRefusesWriteAndKeepsSectors) {
  CEmulatedDrive drive(testConfig());
  const std::vector<uint8_t> before = pattern(512, 7);
  drive.setSector(5, before.data());
  std::vector<uint8_t> block = protectedBlock();
  ASSERT_EQ(run(drive, raw::cdb::vendor(0x0049), block, false).status, emu::kStatusGood);

  for (const uint32_t lba : {5u, 6u}) {
    std::vector<uint8_t> data = pattern(512, 99);
    const ScsiResult r = run(drive, raw::cdb::write10(lba, 1), data, false);
    EXPECT_EQ(r.status, emu::kStatusCheckCondition);
    EXPECT_EQ(r.transferred, 0u);
    EXPECT_EQ(r.sense.key, emu::kSenseKeyDataProtect);
    EXPECT_EQ(r.sense.asc, emu::kAscWriteProtected);
  }
  EXPECT_EQ(drive.sector(5), before);
  EXPECT_EQ(drive.storedSectorCount(), 1u);

  // Reading is not affected.
  std::vector<uint8_t> back(512, 0);
  EXPECT_EQ(run(drive, raw::cdb::read10(5, 1), back, true).status, emu::kStatusGood);
  EXPECT_EQ(back, before);

  // Clearing the bit lets writes through again.
  block[8] = 0x01;
  run(drive, raw::cdb::vendor(0x0049), block, false);
  std::vector<uint8_t> data = pattern(512, 99);
  EXPECT_EQ(run(drive, raw::cdb::write10(5, 1), data, false).status, emu::kStatusGood);
  EXPECT_EQ(drive.sector(5), data);
}

TEST(ConfigBlock, OtherBitsOfByte8DoNotProtect) {
  CEmulatedDrive drive(testConfig());
  std::vector<uint8_t> block(16, 0xFF);
  block[8] = uint8_t(~0x02);
  run(drive, raw::cdb::vendor(0x0049), block, false);
  std::vector<uint8_t> data = pattern(512, 3);
  EXPECT_EQ(run(drive, raw::cdb::write10(0, 1), data, false).status, emu::kStatusGood);
}

// ---- UCL probe and acknowledge ----------------------------------------------------

TEST(UclProbe, UclDriveAnswersWithItsMark) {
  CEmulatedDrive drive(uclConfig());
  std::vector<uint8_t> answer(4, 0xAA);
  const ScsiResult r = run(drive, raw::cdb::vendor(0x0072), answer, true);
  EXPECT_EQ(r.status, emu::kStatusGood);
  EXPECT_EQ(r.transferred, 4u);
  EXPECT_EQ(answer, (std::vector<uint8_t>{'U', 'C', 'L', 1}));
}

TEST(UclProbe, UclDriveHasAnEmptySerialAndOnlyIt) {
  DriveConfig uclWithSerial = uclConfig();
  uclWithSerial.serial = "SN0001";
  EXPECT_THROW(CEmulatedDrive{uclWithSerial}, std::invalid_argument);
  DriveConfig plainWithoutSerial = testConfig();
  plainWithoutSerial.serial.clear();
  EXPECT_THROW(CEmulatedDrive{plainWithoutSerial}, std::invalid_argument);

  CEmulatedDrive drive(uclConfig());
  std::vector<uint8_t> serial(40, 0xAA);
  ASSERT_EQ(run(drive, raw::cdb::vendor(0x0100), serial, true).status, emu::kStatusGood);
  EXPECT_EQ(serial[3], 0);
  EXPECT_EQ(serial[6], 0);
}

TEST(Acknowledge, AnswersGoodAndChangesNothing) {
  CEmulatedDrive drive(testConfig());
  const std::vector<uint8_t> config = readConfig(drive);
  std::vector<uint8_t> none;
  for (const bool dataIn : {false, true}) {
    const ScsiResult r = run(drive, raw::cdb::vendor(0x0043), none, dataIn);
    EXPECT_EQ(r.status, emu::kStatusGood);
    EXPECT_EQ(r.transferred, 0u);
  }
  EXPECT_EQ(readConfig(drive), config);
  EXPECT_EQ(drive.storedSectorCount(), 0u);
}

// ---- hidden area ----------------------------------------------------------------

TEST(HiddenArea, PagesStartErased) {
  CEmulatedDrive drive(testConfig());
  for (const uint8_t page : {0, 17, 31})
    EXPECT_EQ(readPage(drive, page), std::vector<uint8_t>(512, 0xFF));
}

TEST(HiddenArea, PageRoundTripOnlyTouchesThatPage) {
  for (const uint8_t page : {0, 31}) {
    CEmulatedDrive drive(testConfig());
    std::vector<uint8_t> data = pattern(512, page);
    const ScsiResult w = run(drive, hiddenWrite(page), data, false);
    EXPECT_EQ(w.status, emu::kStatusGood);
    EXPECT_EQ(w.transferred, 512u);
    for (const uint32_t tryWord : {0u, 1u}) {
      std::vector<uint8_t> back(512, 0);
      const ScsiResult r = run(drive, hiddenRead(page, tryWord), back, true);
      EXPECT_EQ(r.status, emu::kStatusGood);
      EXPECT_EQ(r.transferred, 512u);
      EXPECT_EQ(back, data) << "page " << int(page) << " try " << tryWord;
    }
    const uint8_t neighbour = page == 0 ? 1 : 30;
    EXPECT_EQ(readPage(drive, neighbour), std::vector<uint8_t>(512, 0xFF));
    EXPECT_EQ(drive.storedSectorCount(), 0u) << "the hidden area is not in the sector store";
  }
}

TEST(HiddenArea, SurvivesWritesToEverySector) {
  CEmulatedDrive drive(testConfig());
  std::vector<std::vector<uint8_t>> pages;
  for (uint8_t page = 0; page < 32; ++page) {
    pages.push_back(pattern(512, uint8_t(page * 5 + 1)));
    run(drive, hiddenWrite(page), pages.back(), false);
  }
  std::vector<uint8_t> everything(kSectors * 512, 0x77);
  ASSERT_EQ(run(drive, raw::cdb::write10(0, kSectors), everything, false).status, emu::kStatusGood);
  std::vector<uint8_t> zeros(kSectors * 512, 0);
  ASSERT_EQ(run(drive, raw::cdb::write10(0, kSectors), zeros, false).status, emu::kStatusGood);
  for (uint8_t page = 0; page < 32; ++page) EXPECT_EQ(readPage(drive, page), pages[page]);
}

}  // namespace
