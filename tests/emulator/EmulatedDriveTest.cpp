#include "emulator/EmulatedDrive.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "RawBlock.h"

namespace {

using emu::CEmulatedDrive;
using emu::DriveConfig;
using emu::ScsiResult;

constexpr uint32_t kSectors = 1000;

DriveConfig testConfig() {
  DriveConfig c;
  c.vendor = "VANTREL";
  c.product = "Plunda Drive";
  c.revision = "2.70";
  c.serial = "SN0001";
  c.removable = true;
  c.sectorCount = kSectors;
  return c;
}

std::vector<uint8_t> text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7 + (i >> 9));
  return v;
}

class EmulatedDriveTest : public ::testing::Test {
 protected:
  ScsiResult run(const std::vector<uint8_t>& cdb, std::vector<uint8_t>& buffer, bool dataIn) {
    return drive.execute(cdb.data(), cdb.size(), buffer.data(), uint32_t(buffer.size()), dataIn);
  }
  CEmulatedDrive drive{testConfig()};
};

// ---- status, transfer length and sense of every command form -------------------

struct CommandCase {
  const char* name;
  std::vector<uint8_t> cdb;
  bool dataIn;
  uint32_t bufferLength;
  uint8_t status;
  uint32_t transferred;
  uint8_t asc;  // with CHECK CONDITION: ILLEGAL REQUEST and this code
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> withByte(std::vector<uint8_t> cdb, size_t at, uint8_t value) {
  cdb.at(at) = value;
  return cdb;
}

std::vector<uint8_t> shortened(std::vector<uint8_t> cdb, size_t length) {
  cdb.resize(length);
  return cdb;
}

const uint32_t kIdentifierAnswer = 4 + uint32_t(std::string("Vantrel Plunda SN0001").size());

const CommandCase kCommandCases[] = {
    {"inquiry36", raw::cdb::inquiry(36), true, 36, 0, 36, 0},
    {"inquiry128", raw::cdb::inquiry(128), true, 128, 0, 128, 0},
    {"inquiryBufferSmallerThanAllocation", raw::cdb::inquiry(36), true, 20, 0, 20, 0},
    {"inquiryAllocationSmallerThanBuffer", raw::cdb::inquiry(5), true, 36, 0, 5, 0},
    {"inquiryAllocationZero", raw::cdb::inquiry(0), true, 36, 0, 0, 0},
    {"inquiryEvpd", withByte(raw::cdb::inquiry(36), 1, 0x01), true, 36, 2, 0, 0x24},
    {"inquiryPageCode", withByte(raw::cdb::inquiry(36), 2, 0x80), true, 36, 2, 0, 0x24},
    {"inquiryCdbTooShort", shortened(raw::cdb::inquiry(36), 5), true, 36, 2, 0, 0x24},
    {"inquiryDataOut", raw::cdb::inquiry(36), false, 36, 2, 0, 0x24},
    {"readCapacity10", raw::cdb::readCapacity(10), true, 8, 0, 8, 0},
    {"readCapacityCdb14", raw::cdb::readCapacity(14), true, 8, 0, 8, 0},
    {"readCapacityBufferTooSmall", raw::cdb::readCapacity(), true, 7, 2, 0, 0x24},
    {"readCapacityCdbTooShort", raw::cdb::readCapacity(6), true, 8, 2, 0, 0x24},
    {"readCapacityDataOut", raw::cdb::readCapacity(), false, 8, 2, 0, 0x24},
    {"readFirst", raw::cdb::read10(0, 1), true, 512, 0, 512, 0},
    {"readCdb14", raw::cdb::read10(0, 2, 14), true, 1024, 0, 1024, 0},
    {"readLast", raw::cdb::read10(kSectors - 1, 1), true, 512, 0, 512, 0},
    {"readPastEnd", raw::cdb::read10(kSectors - 1, 2), true, 1024, 2, 0, 0x21},
    {"readAtEnd", raw::cdb::read10(kSectors, 1), true, 512, 2, 0, 0x21},
    {"readLbaWraps", raw::cdb::read10(0xFFFFFFFFu, 2), true, 1024, 2, 0, 0x21},
    {"readCountHighByte", withByte(raw::cdb::read10(0, 0), 7, 0x01), true, 256 * 512, 0, 256 * 512,
     0},
    {"readZeroSectors", raw::cdb::read10(10, 0), true, 0, 0, 0, 0},
    {"readBufferShort", raw::cdb::read10(0, 2), true, 1023, 2, 0, 0x1A},
    {"readDataOut", raw::cdb::read10(0, 1), false, 512, 2, 0, 0x24},
    {"readCdbTooShort", shortened(raw::cdb::read10(0, 1), 9), true, 512, 2, 0, 0x24},
    {"writeFirst", raw::cdb::write10(0, 1), false, 512, 0, 512, 0},
    {"writePastEnd", raw::cdb::write10(kSectors - 2, 3), false, 1536, 2, 0, 0x21},
    {"writeBufferShort", raw::cdb::write10(0, 1), false, 511, 2, 0, 0x1A},
    {"writeDataIn", raw::cdb::write10(0, 1), true, 512, 2, 0, 0x24},
    {"identifier46", raw::cdb::reportIdentifier(46), true, 46, 0, kIdentifierAnswer, 0},
    {"identifier100", raw::cdb::reportIdentifier(100), true, 100, 0, kIdentifierAnswer, 0},
    {"identifierAllocation10", raw::cdb::reportIdentifier(10), true, 100, 0, 10, 0},
    {"identifierBuffer8", raw::cdb::reportIdentifier(46), true, 8, 0, 8, 0},
    {"identifierServiceAction", withByte(raw::cdb::reportIdentifier(46), 1, 0x06), true, 46, 2, 0,
     0x24},
    {"identifierCdbTooShort", shortened(raw::cdb::reportIdentifier(46), 10), true, 46, 2, 0, 0x24},
    {"serial", raw::cdb::vendor(0x0100), true, 40, 0, 40, 0},
    {"serialBufferShort", raw::cdb::vendor(0x0100), true, 39, 2, 0, 0x1A},
    {"serialDataOut", raw::cdb::vendor(0x0100), false, 40, 2, 0, 0x24},
    {"serialCdbTooShort", raw::cdb::vendor(0x0100, {}, 13), true, 40, 2, 0, 0x24},
    {"serialSubCodeByteSwapped", raw::cdb::vendor(0x0001), true, 40, 2, 0, 0x24},
    {"vendorUnknownSubCode", raw::cdb::vendor(0x0101), true, 40, 2, 0, 0x24},
    {"vendorSubCodeHighByteDiffers", raw::cdb::vendor(0x0200), true, 40, 2, 0, 0x24},
    {"vendorSignatureT", withByte(raw::cdb::vendor(0x0100), 10, 't'), true, 40, 2, 0, 0x24},
    {"vendorSignatureO", withByte(raw::cdb::vendor(0x0100), 11, 'X'), true, 40, 2, 0, 0x24},
    {"vendorSignatureR", withByte(raw::cdb::vendor(0x0100), 12, 0), true, 40, 2, 0, 0x24},
    {"vendorSignatureM", withByte(raw::cdb::vendor(0x0100), 13, 'N'), true, 40, 2, 0, 0x24},
    {"unknownOpcode", {0x00, 0, 0, 0, 0, 0}, false, 0, 2, 0, 0x20},
    {"emptyCdb", {}, false, 0, 2, 0, 0x20},
};

class CommandTable : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTable, AnswersWithStatusLengthAndSense) {
  const CommandCase& c = GetParam();
  CEmulatedDrive drive(testConfig());
  std::vector<uint8_t> buffer(c.bufferLength, c.dataIn ? 0xAA : 0x5A);
  const ScsiResult r =
      drive.execute(c.cdb.data(), c.cdb.size(), buffer.data(), c.bufferLength, c.dataIn);
  EXPECT_TRUE(r.delivered);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.transferred, c.transferred);
  if (c.status == emu::kStatusCheckCondition) {
    EXPECT_EQ(r.sense.key, emu::kSenseKeyIllegalRequest);
    EXPECT_EQ(r.sense.asc, c.asc);
    // A refused command leaves the caller's buffer and the flash alone.
    if (c.dataIn) {
      EXPECT_EQ(buffer, std::vector<uint8_t>(c.bufferLength, 0xAA));
    }
    EXPECT_EQ(drive.storedSectorCount(), 0u);
  } else {
    EXPECT_EQ(r.sense.key, emu::kSenseKeyNone);
  }
}

INSTANTIATE_TEST_SUITE_P(Drive, CommandTable, ::testing::ValuesIn(kCommandCases),
                         [](const ::testing::TestParamInfo<CommandCase>& i) {
                           return std::string(i.param.name);
                         });

// ---- answer contents ----------------------------------------------------------------

TEST_F(EmulatedDriveTest, InquiryStandardDataByteForByte) {
  std::vector<uint8_t> expected(36, 0);
  expected[1] = 0x80;  // removable
  expected[2] = 0x02;
  expected[3] = 0x02;
  expected[4] = 31;
  const std::string texts = "VANTREL Plunda Drive    2.70";
  for (size_t i = 0; i < texts.size(); ++i) expected[8 + i] = uint8_t(texts[i]);

  std::vector<uint8_t> buffer(36, 0xAA);
  run(raw::cdb::inquiry(36), buffer, true);
  EXPECT_EQ(buffer, expected);
}

TEST_F(EmulatedDriveTest, InquiryLongAllocationHasZeroTail) {
  std::vector<uint8_t> buffer(128, 0xAA);
  run(raw::cdb::inquiry(128), buffer, true);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 8, buffer.begin() + 15), text("VANTREL"));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 36, buffer.end()), std::vector<uint8_t>(92, 0));
}

TEST_F(EmulatedDriveTest, InquiryStopsAtAllocationLength) {
  std::vector<uint8_t> buffer(36, 0xAA);
  run(raw::cdb::inquiry(5), buffer, true);
  EXPECT_EQ(buffer[1], 0x80);
  EXPECT_EQ(buffer[4], 31);
  EXPECT_EQ(buffer[5], 0xAA);
  EXPECT_EQ(buffer[35], 0xAA);
}

TEST(EmulatedDriveIdentity, InquiryReflectsConfiguration) {
  DriveConfig c = testConfig();
  c.removable = false;
  c.unitFactorA = 8;  // units of 64 sectors, so the small flash holds some
  c.unitFactorB = 8;
  c.vendor = "ACMEDISK";  // exactly eight: no padding
  c.product = "Storage Media";
  c.revision = "1.2";
  CEmulatedDrive drive(c);
  std::vector<uint8_t> d(36, 0xAA);
  drive.execute(raw::cdb::inquiry(36).data(), 6, d.data(), 36, true);
  EXPECT_EQ(d[1], 0x00);
  EXPECT_EQ(std::vector<uint8_t>(d.begin() + 8, d.begin() + 16), text("ACMEDISK"));
  EXPECT_EQ(std::vector<uint8_t>(d.begin() + 16, d.begin() + 32), text("Storage Media   "));
  EXPECT_EQ(std::vector<uint8_t>(d.begin() + 32, d.begin() + 36), text("1.2 "));
}

TEST_F(EmulatedDriveTest, ReadCapacityGivesLastLbaAndBlockLength) {
  std::vector<uint8_t> buffer(8, 0xAA);
  run(raw::cdb::readCapacity(), buffer, true);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0x00, 0x00, 0x03, 0xE7, 0x00, 0x00, 0x02, 0x00}));
}

TEST_F(EmulatedDriveTest, ReportIdentifierGivesLengthHeaderAndText) {
  std::vector<uint8_t> buffer(46, 0xAA);
  run(raw::cdb::reportIdentifier(46), buffer, true);
  const std::vector<uint8_t> id = text("Vantrel Plunda SN0001");
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4),
            (std::vector<uint8_t>{0, 0, 0, uint8_t(id.size())}));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 4, buffer.begin() + 4 + id.size()), id);
  // Nothing beyond the answer is written.
  EXPECT_EQ(buffer[4 + id.size()], 0xAA);
}

TEST_F(EmulatedDriveTest, ReportIdentifierTruncatesToAllocation) {
  std::vector<uint8_t> buffer(20, 0xAA);
  run(raw::cdb::reportIdentifier(10), buffer, true);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 4, buffer.begin() + 10), text("Vantre"));
  EXPECT_EQ(buffer[10], 0xAA);
}

TEST(EmulatedDriveIdentity, IdentifierTextIsConfigurable) {
  DriveConfig c = testConfig();
  c.identifierText = "Other Maker X1";
  CEmulatedDrive drive(c);
  std::vector<uint8_t> buffer(100, 0);
  const auto cdb = raw::cdb::reportIdentifier(100);
  const ScsiResult r = drive.execute(cdb.data(), cdb.size(), buffer.data(), 100, true);
  EXPECT_EQ(r.transferred, 4u + 14u);
  EXPECT_EQ(buffer[3], 14);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 4, buffer.begin() + 18), text("Other Maker X1"));
}

TEST_F(EmulatedDriveTest, SerialAnswerLayout) {
  std::vector<uint8_t> buffer(40, 0xAA);
  run(raw::cdb::vendor(0x0100), buffer, true);
  std::vector<uint8_t> expected(40, 0);
  expected[0] = 'S';
  expected[1] = 'N';
  expected[2] = 1;
  expected[3] = 6;
  const std::vector<uint8_t> serial = text("SN0001");
  std::copy(serial.begin(), serial.end(), expected.begin() + 6);
  EXPECT_EQ(buffer, expected);
}

TEST(EmulatedDriveIdentity, LongestSerialStillEndsWithNul) {
  DriveConfig c = testConfig();
  c.serial = std::string(DriveConfig::kMaxSerialLength, '7');
  CEmulatedDrive drive(c);
  std::vector<uint8_t> buffer(40, 0xAA);
  const auto cdb = raw::cdb::vendor(0x0100);
  ASSERT_EQ(drive.execute(cdb.data(), 14, buffer.data(), 40, true).status, 0);
  EXPECT_EQ(buffer[6 + 32], '7');
  EXPECT_EQ(buffer[39], 0);
}

TEST(EmulatedDriveIdentity, RefusesConfigurationsItCannotPresent) {
  struct Case {
    const char* name;
    void (*change)(DriveConfig&);
  };
  const Case cases[] = {
      {"no sectors", [](DriveConfig& c) { c.sectorCount = 0; }},
      {"vendor too long", [](DriveConfig& c) { c.vendor = "NINECHARS"; }},
      {"product too long", [](DriveConfig& c) { c.product = "seventeen chars!!"; }},
      {"revision too long", [](DriveConfig& c) { c.revision = "2.700"; }},
      {"serial too long",
       [](DriveConfig& c) { c.serial = std::string(DriveConfig::kMaxSerialLength + 1, '1'); }},
  };
  for (const Case& k : cases) {
    DriveConfig c = testConfig();
    k.change(c);
    EXPECT_THROW(CEmulatedDrive{c}, std::invalid_argument) << k.name;
  }
}

// ---- flash store --------------------------------------------------------------------

TEST_F(EmulatedDriveTest, WrittenSectorsReadBackAndUnwrittenReadZero) {
  std::vector<uint8_t> data = pattern(3 * 512, 1);
  ASSERT_EQ(run(raw::cdb::write10(kSectors - 3, 3), data, false).status, 0);

  std::vector<uint8_t> back(4 * 512, 0xAA);
  ASSERT_EQ(run(raw::cdb::read10(kSectors - 4, 4), back, true).status, 0);
  EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 512), std::vector<uint8_t>(512, 0));
  EXPECT_EQ(std::vector<uint8_t>(back.begin() + 512, back.end()), data);
  EXPECT_EQ(drive.sector(kSectors - 2),
            std::vector<uint8_t>(data.begin() + 512, data.begin() + 1024));
}

// A formatter's boot sector is told to the owner, with the partition, and
// nothing else written is; the handler may send commands itself.
TEST(EmulatedDriveFormat, ABootSectorWrittenTellsTheFormattedPartition) {
  std::vector<uint8_t> boot(512, 0);
  boot[12] = 0x02;
  boot[38] = 0x29;
  boot[510] = 0x55;
  boot[511] = 0xAA;
  std::vector<uint8_t> noSignature = boot;
  noSignature[38] = 0x28;
  const struct {
    const char* name;
    bool removable;
    uint32_t lba;
    std::vector<uint8_t> sector;
    std::vector<emu::FlashPartition> told;
  } cases[] = {
      {"removable", true, 0, boot, {emu::FlashPartition::kPublic}},
      {"removable, not at its start", true, 63, boot, {emu::FlashPartition::kPublic}},
      {"fixed disk's public volume", false, 63, boot, {emu::FlashPartition::kPublic}},
      {"no extended signature", true, 0, noSignature, {}},
      {"file data", true, 0, std::vector<uint8_t>(512, 0xE5), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DriveConfig config = testConfig();
    config.removable = c.removable;
    config.sectorCount = 8192;
    CEmulatedDrive drive(config);
    std::vector<emu::FlashPartition> told;
    drive.setFormatHandler([&](emu::FlashPartition partition) {
      told.push_back(partition);
      std::vector<uint8_t> back(512);
      const auto read = raw::cdb::read10(c.lba, 1);
      EXPECT_EQ(drive.execute(read.data(), read.size(), back.data(), 512, true).status, 0);
    });
    std::vector<uint8_t> data = c.sector;
    const auto write = raw::cdb::write10(c.lba, 1);
    ASSERT_EQ(drive.execute(write.data(), write.size(), data.data(), 512, false).status, 0);
    EXPECT_EQ(told, c.told);
  }
}

TEST_F(EmulatedDriveTest, StoreHoldsOnlyNonZeroSectors) {
  std::vector<uint8_t> data(2 * 512, 0);
  data[700] = 1;  // only the second sector carries data
  run(raw::cdb::write10(500, 2), data, false);
  EXPECT_EQ(drive.storedSectorCount(), 1u);
  std::vector<uint8_t> zero(512, 0);
  run(raw::cdb::write10(501, 1), zero, false);
  EXPECT_EQ(drive.storedSectorCount(), 0u);
  EXPECT_EQ(drive.sector(501), zero);
}

TEST_F(EmulatedDriveTest, DirectSectorAccessMeetsTheCommandPath) {
  const std::vector<uint8_t> data = pattern(512, 9);
  drive.setSector(42, data.data());
  std::vector<uint8_t> back(512);
  run(raw::cdb::read10(42, 1), back, true);
  EXPECT_EQ(back, data);
  EXPECT_THROW(drive.sector(kSectors), std::out_of_range);
  EXPECT_THROW(drive.setSector(kSectors, data.data()), std::out_of_range);
  // Direct access is not a command.
  EXPECT_EQ(drive.commandCount(), 1u);
}

// ---- command log ----------------------------------------------------------------------

TEST(EmulatedDriveLog, RecordsEachCommandWithDirectionAndLength) {
  CEmulatedDrive drive(testConfig());
  std::vector<uint8_t> buffer(512);
  const auto c1 = raw::cdb::inquiry(36);
  const auto c2 = raw::cdb::write10(7, 1, 14);
  const auto c3 = raw::cdb::vendor(0x0999);
  drive.execute(c1.data(), c1.size(), buffer.data(), 36, true);
  drive.execute(c2.data(), c2.size(), buffer.data(), 512, false);
  drive.execute(c3.data(), c3.size(), nullptr, 0, false);

  const auto log = drive.commandLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].cdb, c1);
  EXPECT_TRUE(log[0].dataIn);
  EXPECT_EQ(log[0].dataLength, 36u);
  EXPECT_EQ(log[1].cdb, c2);
  EXPECT_FALSE(log[1].dataIn);
  EXPECT_EQ(log[1].dataLength, 512u);
  EXPECT_EQ(log[2].status, emu::kStatusCheckCondition);
  EXPECT_TRUE(log[2].delivered);
  EXPECT_FALSE(log[2].injected);
  EXPECT_EQ(drive.commandCount(), 3u);

  drive.clearCommandLog();
  EXPECT_TRUE(drive.commandLog().empty());
  EXPECT_EQ(drive.commandCount(), 3u);
}

TEST(EmulatedDriveLog, KeepsOnlyTheLastCommands) {
  DriveConfig c = testConfig();
  c.commandLogCapacity = 2;
  CEmulatedDrive drive(c);
  std::vector<uint8_t> buffer(512);
  for (uint8_t lba = 0; lba < 5; ++lba) {
    const auto cdb = raw::cdb::read10(lba, 1);
    drive.execute(cdb.data(), cdb.size(), buffer.data(), 512, true);
  }
  const auto log = drive.commandLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].cdb[5], 3);
  EXPECT_EQ(log[1].cdb[5], 4);
  EXPECT_EQ(drive.commandCount(), 5u);
}

// ---- fault injection ----------------------------------------------------------------

TEST(EmulatedDriveFaults, FailsTheNextCommandsThenRecovers) {
  struct Case {
    emu::FaultKind kind;
    bool delivered;
    uint8_t status;
    uint8_t senseKey;
  };
  const Case cases[] = {
      {emu::FaultKind::NotDelivered, false, 0, emu::kSenseKeyNone},
      {emu::FaultKind::CheckCondition, true, 2, emu::kSenseKeyHardwareError},
  };
  for (const Case& k : cases) {
    CEmulatedDrive drive(testConfig());
    drive.injectFaults(k.kind, 2);
    EXPECT_EQ(drive.pendingFaults(), 2u);
    std::vector<uint8_t> data = pattern(512, 3);
    const auto write = raw::cdb::write10(5, 1);
    for (int i = 0; i < 2; ++i) {
      const ScsiResult r = drive.execute(write.data(), write.size(), data.data(), 512, false);
      EXPECT_EQ(r.delivered, k.delivered);
      EXPECT_EQ(r.status, k.status);
      EXPECT_EQ(r.transferred, 0u);
      EXPECT_EQ(r.sense.key, k.senseKey);
    }
    EXPECT_EQ(drive.storedSectorCount(), 0u) << "a failed write must not reach the flash";
    EXPECT_EQ(drive.pendingFaults(), 0u);
    const ScsiResult ok = drive.execute(write.data(), write.size(), data.data(), 512, false);
    EXPECT_TRUE(ok.delivered);
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(drive.sector(5), data);

    const auto log = drive.commandLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[0].injected);
    EXPECT_EQ(log[0].delivered, k.delivered);
    EXPECT_FALSE(log[2].injected);
  }
}

TEST(EmulatedDriveFaults, InjectedFailureLeavesReadBufferAlone) {
  CEmulatedDrive drive(testConfig());
  drive.injectFaults(emu::FaultKind::CheckCondition, 1);
  std::vector<uint8_t> buffer(36, 0xAA);
  const auto cdb = raw::cdb::inquiry(36);
  drive.execute(cdb.data(), cdb.size(), buffer.data(), 36, true);
  EXPECT_EQ(buffer, std::vector<uint8_t>(36, 0xAA));
}

// ---- threads --------------------------------------------------------------------------

TEST(EmulatedDriveThreads, ConcurrentCommandsKeepEachSectorIntact) {
  CEmulatedDrive drive(testConfig());
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::thread> threads;
  std::vector<int> mismatches(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&drive, &mismatches, t] {
      for (int i = 0; i < kRounds; ++i) {
        const uint32_t lba = uint32_t(t * 100 + i % 50);
        std::vector<uint8_t> data = pattern(512, uint8_t(t * 31 + i));
        const auto w = raw::cdb::write10(lba, 1);
        drive.execute(w.data(), w.size(), data.data(), 512, false);
        std::vector<uint8_t> back(512);
        const auto r = raw::cdb::read10(lba, 1);
        drive.execute(r.data(), r.size(), back.data(), 512, true);
        if (back != data) ++mismatches[size_t(t)];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
  EXPECT_EQ(drive.commandCount(), uint64_t(2 * kThreads * kRounds));
  EXPECT_EQ(drive.storedSectorCount(), size_t(kThreads * 50));
}

}  // namespace
