// Fault injection limited to matching commands, and the not-ready window set
// directly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZoneCommands.h"

namespace {

using emu::CCommandFilter;
using emu::CEmulatedDrive;
using emu::DriveConfig;
using emu::FaultKind;
using emu::ScsiResult;
using namespace zone;

DriveConfig testConfig() {
  DriveConfig c;
  c.serial = "SN0004";
  c.sectorCount = 4096;
  return c;
}

enum class Cmd { Inquiry, ReadCapacity, Read, Write, Record, SwitchPublic, HighSubCode };

ScsiResult send(CEmulatedDrive& drive, Cmd cmd) {
  Bytes buffer;
  switch (cmd) {
    case Cmd::Inquiry:
      buffer.resize(36);
      return run(drive, raw::cdb::inquiry(36), buffer, true);
    case Cmd::ReadCapacity:
      buffer.resize(8);
      return run(drive, raw::cdb::readCapacity(), buffer, true);
    case Cmd::Read:
      buffer.resize(512);
      return run(drive, raw::cdb::read10(0, 1), buffer, true);
    case Cmd::Write:
      buffer = pattern(1);
      return run(drive, raw::cdb::write10(0, 1), buffer, false);
    case Cmd::Record:
      buffer.resize(20);
      return run(drive, raw::cdb::vendor(0x0040), buffer, true);
    case Cmd::SwitchPublic:
      buffer.resize(16);
      return run(drive, raw::cdb::vendor(0x0042), buffer, false);
    case Cmd::HighSubCode:  // 0x0142: same low byte as 0x0042, answered as unknown
      buffer.resize(16);
      return run(drive, raw::cdb::vendor(0x0142), buffer, false);
  }
  return {};
}

struct FilterCase {
  const char* name;
  CCommandFilter filter;
  FaultKind kind;
  uint32_t count;
  std::vector<Cmd> sequence;
  std::vector<bool> hit;  // per command: failed by the injection
};

void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.name; }

const FilterCase kFilters[] = {
    {"readOpcodeTwice",
     CCommandFilter::opcode(0x28),
     FaultKind::CheckCondition,
     2,
     {Cmd::Inquiry, Cmd::Read, Cmd::ReadCapacity, Cmd::Write, Cmd::Read, Cmd::Read},
     {false, true, false, false, true, false}},
    {"vendorSubCode",
     CCommandFilter::vendor(0x0042),
     FaultKind::NotDelivered,
     1,
     {Cmd::Record, Cmd::HighSubCode, Cmd::Read, Cmd::SwitchPublic, Cmd::SwitchPublic},
     {false, false, false, true, false}},
    {"vendorOpcodeHitsEverySubCode",
     CCommandFilter::opcode(0xFF),
     FaultKind::CheckCondition,
     2,
     {Cmd::Read, Cmd::Record, Cmd::SwitchPublic, Cmd::Record},
     {false, true, true, false}},
    {"anyHitsTheNext",
     CCommandFilter::any(),
     FaultKind::NotDelivered,
     2,
     {Cmd::Inquiry, Cmd::Read, Cmd::Inquiry},
     {true, true, false}},
};

class FilteredFaults : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilteredFaults, HitOnlyMatchingCommandsAndCountOnlyThem) {
  const FilterCase& c = GetParam();
  CEmulatedDrive drive(testConfig());
  drive.injectFaults(c.kind, c.count, c.filter);
  uint32_t expectedLeft = c.count;
  for (size_t i = 0; i < c.sequence.size(); ++i) {
    const ScsiResult r = send(drive, c.sequence[i]);
    const bool injected = drive.commandLog().back().injected;
    EXPECT_EQ(injected, c.hit[i]) << "command " << i;
    if (c.hit[i]) {
      --expectedLeft;
      if (c.kind == FaultKind::NotDelivered) {
        EXPECT_FALSE(r.delivered);
      } else {
        EXPECT_EQ(r.sense.key, emu::kSenseKeyHardwareError);
      }
    } else {
      EXPECT_TRUE(r.delivered);
      // Unknown sub-codes are refused on their own; everything else here succeeds.
      EXPECT_EQ(r.status,
                c.sequence[i] == Cmd::HighSubCode ? emu::kStatusCheckCondition : emu::kStatusGood)
          << "command " << i;
    }
    EXPECT_EQ(drive.pendingFaults(), expectedLeft) << "after command " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Drive, FilteredFaults, ::testing::ValuesIn(kFilters),
                         [](const ::testing::TestParamInfo<FilterCase>& i) {
                           return std::string(i.param.name);
                         });

TEST(FilteredFaultsRules, NewInjectionReplacesFilterAndCount) {
  CEmulatedDrive drive(testConfig());
  drive.injectFaults(FaultKind::CheckCondition, 5, CCommandFilter::opcode(0x28));
  drive.injectFaults(FaultKind::CheckCondition, 1);
  EXPECT_EQ(drive.pendingFaults(), 1u);
  EXPECT_EQ(send(drive, Cmd::Inquiry).status, emu::kStatusCheckCondition);
  EXPECT_EQ(send(drive, Cmd::Read).status, emu::kStatusGood);
}

TEST(FilteredFaultsRules, ShortCdbNeverMatchesAVendorFilter) {
  CEmulatedDrive drive(testConfig());
  drive.injectFaults(FaultKind::NotDelivered, 1, CCommandFilter::vendor(0x0000));
  const uint8_t cdb[2] = {0xFF, 0x00};
  EXPECT_TRUE(drive.execute(cdb, sizeof cdb, nullptr, 0, false).delivered);
  EXPECT_EQ(drive.pendingFaults(), 1u);
}

TEST(SetNotReady, CountsCommandsThatReachTheDrive) {
  CEmulatedDrive drive(testConfig());
  drive.setNotReady(2);
  // An injected fault never reached the drive: it leaves the window as it is.
  drive.injectFaults(FaultKind::NotDelivered, 1);
  EXPECT_FALSE(send(drive, Cmd::ReadCapacity).delivered);
  EXPECT_EQ(send(drive, Cmd::Record).status, emu::kStatusGood);
  const ScsiResult r = send(drive, Cmd::ReadCapacity);
  EXPECT_EQ(r.status, emu::kStatusCheckCondition);
  EXPECT_EQ(r.sense.key, emu::kSenseKeyNotReady);
  EXPECT_EQ(send(drive, Cmd::ReadCapacity).status, emu::kStatusGood);

  drive.setNotReady(3);
  drive.setNotReady(0);
  EXPECT_EQ(send(drive, Cmd::Read).status, emu::kStatusGood);
}

}  // namespace
