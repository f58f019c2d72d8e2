#include "emulator/EmuAspiTarget.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RawBlock.h"
#include "emulator/EmulatedDrive.h"

namespace {

using emu::AspiRecord;
using emu::CEmuAspiTarget;
using emu::CEmulatedDrive;
using raw::Block;
namespace srb = raw::srb;

constexpr uint8_t kIn = 0x09;
constexpr uint8_t kOut = 0x11;

int gPostCalls = 0;
void countingPost(void*) { ++gPostCalls; }

emu::DriveConfig config() {
  emu::DriveConfig c;
  c.sectorCount = 4096;
  return c;
}

Block execSrb(uint8_t adapter, uint8_t target, uint8_t flags, const std::vector<uint8_t>& cdb,
              void* buffer, uint32_t length) {
  Block b(srb::execSize);
  b.put8(srb::cmd, 2);
  b.put8(srb::haId, adapter);
  b.put8(srb::flags, flags);
  b.put8(srb::target, target);
  b.put8(srb::lun, 0);
  b.put32(srb::bufLen, length);
  b.putPtr(srb::bufPointer, buffer);
  b.put8(srb::senseLen, 14);
  b.put8(srb::cdbLen, uint8_t(cdb.size()));
  b.putBytes(srb::cdb, cdb);
  return b;
}

class EmuAspiTargetTest : public ::testing::Test {
 protected:
  EmuAspiTargetTest() { aspi.attach(0, 1, &drive); }
  CEmulatedDrive drive{config()};
  CEmuAspiTarget aspi;
};

TEST(EmuAspiTargetAdapters, SupportInfoAndAdapterCount) {
  CEmulatedDrive drive(config());
  CEmuAspiTarget aspi;
  EXPECT_EQ(aspi.supportInfo(), 0x0100u);
  aspi.attach(0, 1, &drive);
  EXPECT_EQ(aspi.supportInfo(), 0x0101u);
  aspi.attach(2, 0, &drive);
  EXPECT_EQ(aspi.adapterCount(), 3);
  aspi.setAdapterCount(5);
  EXPECT_EQ(aspi.supportInfo(), 0x0105u);
  aspi.setAdapterCount(0);
  aspi.detach(2, 0);
  EXPECT_EQ(aspi.supportInfo(), 0x0101u);
}

TEST_F(EmuAspiTargetTest, HostAdapterInquiryGivesTheCount) {
  aspi.setAdapterCount(2);
  Block b(srb::haInquirySize);
  b.put8(srb::cmd, 0);
  b.put8(srb::haId, 0);
  EXPECT_EQ(aspi.execute(b.data()), 1u);
  EXPECT_EQ(b.get8(srb::status), 1);
  EXPECT_EQ(b.get8(srb::haCount), 2);
  EXPECT_EQ(b.get8(srb::haScsiId), 7);
  EXPECT_EQ(b.get8(srb::managerId), 'T');
  EXPECT_EQ(b.get8(srb::unique + 3), 8);  // targets per adapter
  ASSERT_EQ(aspi.requests().size(), 1u);
  EXPECT_EQ(aspi.requests()[0].cmd, 0);
  EXPECT_EQ(drive.commandCount(), 0u);
}

TEST_F(EmuAspiTargetTest, ExecuteInquiryReachesTheDriveAndIsRecorded) {
  std::vector<uint8_t> data(128, 0xAA);
  Block b = execSrb(0, 1, kIn, raw::cdb::inquiry(128), data.data(), 128);
  EXPECT_EQ(aspi.execute(b.data()), 1u);
  EXPECT_EQ(b.get8(srb::status), 1);
  EXPECT_EQ(b.get8(srb::haStat), 0);
  EXPECT_EQ(b.get8(srb::targStat), 0);
  EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 15), "VANTREL");
  EXPECT_EQ(data[127], 0);

  const auto log = drive.commandLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].cdb, raw::cdb::inquiry(128));
  EXPECT_TRUE(log[0].dataIn);
  EXPECT_EQ(log[0].dataLength, 128u);

  const AspiRecord r = aspi.requests().back();
  EXPECT_EQ(r.cmd, 2);
  EXPECT_EQ(r.haId, 0);
  EXPECT_EQ(r.flags, kIn);
  EXPECT_EQ(r.target, 1);
  EXPECT_EQ(r.lun, 0);
  EXPECT_EQ(r.bufLen, 128u);
  EXPECT_TRUE(r.bufPointerPresent);
  EXPECT_EQ(r.senseLen, 14);
  EXPECT_EQ(r.cdbLen, 6);
  EXPECT_EQ(r.cdb, raw::cdb::inquiry(128));
  EXPECT_FALSE(r.postProcPresent);
  EXPECT_EQ(r.status, 1);
}

TEST_F(EmuAspiTargetTest, DataOutAndDataInFlagsSetTheDirection) {
  std::vector<uint8_t> data(512);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 3);
  std::vector<uint8_t> out = data;
  Block w = execSrb(0, 1, kOut, raw::cdb::write10(77, 1, 14), out.data(), 512);
  ASSERT_EQ(aspi.execute(w.data()), 1u);
  EXPECT_EQ(drive.sector(77), data);

  std::vector<uint8_t> in(512, 0);
  Block r = execSrb(0, 1, kIn, raw::cdb::read10(77, 1, 14), in.data(), 512);
  ASSERT_EQ(aspi.execute(r.data()), 1u);
  EXPECT_EQ(in, data);

  // The wrong direction is the drive's business: it refuses the transfer.
  Block wrong = execSrb(0, 1, kIn, raw::cdb::write10(77, 1, 14), out.data(), 512);
  EXPECT_EQ(aspi.execute(wrong.data()), 4u);
  EXPECT_EQ(wrong.get8(srb::targStat), 2);
}

TEST_F(EmuAspiTargetTest, CheckConditionIsAnErrorWithTargetStatusAndSense) {
  std::vector<uint8_t> data(40);
  Block b = execSrb(0, 1, kIn, raw::cdb::vendor(0x0999), data.data(), 40);
  b.put8(srb::senseArea + 14, 0xAA);
  EXPECT_EQ(aspi.execute(b.data()), 4u);
  EXPECT_EQ(b.get8(srb::status), 4);
  EXPECT_EQ(b.get8(srb::haStat), 0);
  EXPECT_EQ(b.get8(srb::targStat), 2);
  EXPECT_EQ(b.get8(srb::senseArea), 0x70);
  EXPECT_EQ(b.get8(srb::senseArea + 2), 0x05);
  EXPECT_EQ(b.get8(srb::senseArea + 12), 0x24);
  EXPECT_EQ(b.get8(srb::senseArea + 14), 0xAA) << "only senseLen bytes of sense";
}

TEST_F(EmuAspiTargetTest, NobodyAtTheAddressIsASelectionTimeout) {
  struct Case {
    const char* name;
    uint8_t adapter, target, lun;
  };
  const Case cases[] = {{"target", 0, 2, 0}, {"adapter", 1, 1, 0}, {"lun", 0, 1, 1}};
  for (const Case& c : cases) {
    std::vector<uint8_t> data(36);
    Block b = execSrb(c.adapter, c.target, kIn, raw::cdb::inquiry(36), data.data(), 36);
    b.put8(srb::lun, c.lun);
    EXPECT_EQ(aspi.execute(b.data()), 4u) << c.name;
    EXPECT_EQ(b.get8(srb::status), 4) << c.name;
    EXPECT_EQ(b.get8(srb::haStat), emu::kAspiHaStatusSelectionTimeout) << c.name;
  }
  EXPECT_EQ(drive.commandCount(), 0u);
}

TEST_F(EmuAspiTargetTest, MalformedRequestsAreRefusedBeforeTheDrive) {
  struct Case {
    const char* name;
    uint8_t cmd;
    uint8_t flags;
    uint8_t cdbLen;
    bool nullBuffer;
    uint32_t expected;
  };
  const Case cases[] = {
      {"bothDirections", 2, 0x19, 6, false, emu::kAspiStatusInvalidSrb},
      {"noDirectionWithData", 2, 0x01, 6, false, emu::kAspiStatusInvalidSrb},
      {"cdbLengthZero", 2, kIn, 0, false, emu::kAspiStatusInvalidSrb},
      {"cdbLength17", 2, kIn, 17, false, emu::kAspiStatusInvalidSrb},
      {"nullBuffer", 2, kIn, 6, true, emu::kAspiStatusInvalidSrb},
      {"unknownCommand", 9, kIn, 6, false, emu::kAspiStatusInvalidCommand},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> data(36);
    Block b =
        execSrb(0, 1, c.flags, raw::cdb::inquiry(36), c.nullBuffer ? nullptr : data.data(), 36);
    b.put8(srb::cmd, c.cmd);
    b.put8(srb::cdbLen, c.cdbLen);
    EXPECT_EQ(aspi.execute(b.data()), c.expected) << c.name;
    EXPECT_EQ(b.get8(srb::status), c.expected) << c.name;
  }
  EXPECT_EQ(drive.commandCount(), 0u);
}

TEST_F(EmuAspiTargetTest, StalledRequestsStayPendingAndNeverReachTheDrive) {
  std::vector<uint8_t> data(8);
  aspi.stallRequests(2);
  for (int i = 0; i < 2; ++i) {
    Block b = execSrb(0, 1, kIn, raw::cdb::readCapacity(14), data.data(), 8);
    EXPECT_EQ(aspi.execute(b.data()), 0u);
    EXPECT_EQ(b.get8(srb::status), 0);
  }
  EXPECT_EQ(drive.commandCount(), 0u);
  Block b = execSrb(0, 1, kIn, raw::cdb::readCapacity(14), data.data(), 8);
  EXPECT_EQ(aspi.execute(b.data()), 1u);

  aspi.stallRequests(CEmuAspiTarget::kForever);
  for (int i = 0; i < 3; ++i) {
    Block s = execSrb(0, 1, kIn, raw::cdb::readCapacity(14), data.data(), 8);
    EXPECT_EQ(aspi.execute(s.data()), 0u);
  }
  EXPECT_EQ(aspi.requests().back().status, 0);
  EXPECT_EQ(drive.commandCount(), 1u);
}

TEST_F(EmuAspiTargetTest, UndeliveredCommandIsAnAdapterError) {
  drive.injectFaults(emu::FaultKind::NotDelivered, 1);
  std::vector<uint8_t> data(8);
  Block b = execSrb(0, 1, kIn, raw::cdb::readCapacity(14), data.data(), 8);
  EXPECT_EQ(aspi.execute(b.data()), 4u);
  EXPECT_EQ(b.get8(srb::haStat), emu::kAspiHaStatusCommandTimeout);
  EXPECT_EQ(b.get8(srb::targStat), 0);
}

TEST_F(EmuAspiTargetTest, PostingRequestsGetTheirCompletionCall) {
  struct Case {
    uint8_t flags;
    int calls;
  };
  const Case cases[] = {{kIn, 1}, {0x08, 0}};
  for (const Case& c : cases) {
    gPostCalls = 0;
    std::vector<uint8_t> data(8);
    Block b = execSrb(0, 1, c.flags, raw::cdb::readCapacity(14), data.data(), 8);
    void (*post)(void*) = &countingPost;
    b.putPtr(srb::postProc, reinterpret_cast<void*>(post));
    EXPECT_EQ(aspi.execute(b.data()), 1u);
    EXPECT_EQ(gPostCalls, c.calls) << int(c.flags);
    EXPECT_TRUE(aspi.requests().back().postProcPresent);
  }
}

TEST_F(EmuAspiTargetTest, ThunksRouteToTheObject) {
  Block b(srb::haInquirySize);
  EXPECT_EQ(CEmuAspiTarget::sendThunk(&aspi, b.data()), 1u);
  EXPECT_EQ(b.get8(srb::haCount), 1);
  EXPECT_EQ(CEmuAspiTarget::supportThunk(&aspi), 0x0101u);
  EXPECT_EQ(aspi.requests().size(), 1u);
}

}  // namespace
