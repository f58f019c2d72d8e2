// The fixed-disk privacy zone at the SCSI level: the record, configure, the
// second-slot switch, the partition table the drive writes into sector 0, the
// addressing of the disk and the LUN mode.
#include <gtest/gtest.h>

#include <string>

#include "ZoneCommands.h"

namespace {

using emu::CEmulatedDrive;
using emu::DriveConfig;
using emu::ScsiResult;
using namespace zone;

// Units of 8 × 16 = 128 sectors; ten of them, and a tail of 5 sectors no unit covers.
constexpr uint32_t kUnit = 128;
constexpr uint32_t kUnits = 10;
constexpr uint32_t kDisk = kUnits * kUnit;  // 1280
constexpr uint32_t kSafeUnits = 3;
constexpr uint32_t kDummyUnits = 2;
constexpr uint32_t kPublic = (kUnits - kSafeUnits - kDummyUnits) * kUnit;  // 640
constexpr uint32_t kDummy = kDummyUnits * kUnit;                           // 256
constexpr uint32_t kSafe = kSafeUnits * kUnit;                             // 384

DriveConfig fixedConfig() {
  DriveConfig c;
  c.serial = "SN0002";
  c.removable = false;
  c.unitFactorA = 8;
  c.unitFactorB = 16;
  c.sectorCount = kDisk + 5;
  return c;
}

Bytes record(CEmulatedDrive& drive) { return readIn(drive, 0x0044, 28); }

struct ZonedDisk {
  explicit ZonedDisk(uint32_t safeUnits = kSafeUnits, uint32_t dummyUnits = kDummyUnits) {
    EXPECT_EQ(sendOut(drive, 0x0045, fixedConfigure(safeUnits, dummyUnits, "secret")).status,
              emu::kStatusGood);
  }
  void enter() {
    ASSERT_EQ(sendOut(drive, 0x0046, fixedSwitch("secret")).status, emu::kStatusGood);
  }
  void leave() { ASSERT_EQ(sendOut(drive, 0x0046, fixedSwitch("", 0)).status, emu::kStatusGood); }
  CEmulatedDrive drive{fixedConfig()};
};

TEST(FixedRecord, ReflectsConfigureAndSwitchesWhileCapacityStays) {
  CEmulatedDrive drive(fixedConfig());
  EXPECT_EQ(record(drive), words({kUnits, 8, 16, 0, 0, 0, 0}));
  EXPECT_EQ(lastLba(drive), kDisk - 1);

  const ScsiResult r = sendOut(drive, 0x0045, fixedConfigure(kSafeUnits, kDummyUnits, "secret"));
  EXPECT_EQ(r.status, emu::kStatusGood);
  EXPECT_EQ(r.transferred, 28u);
  EXPECT_EQ(record(drive), words({kUnits, 8, 16, 0, kSafeUnits, kDummyUnits, 0}));

  ASSERT_EQ(sendOut(drive, 0x0046, fixedSwitch("secret")).status, emu::kStatusGood);
  EXPECT_EQ(record(drive), words({kUnits, 8, 16, 0, kSafeUnits, kDummyUnits, 1}));
  EXPECT_EQ(lastLba(drive), kDisk - 1);

  ASSERT_EQ(sendOut(drive, 0x0046, fixedSwitch("", 0)).status, emu::kStatusGood);
  EXPECT_EQ(record(drive), words({kUnits, 8, 16, 0, kSafeUnits, kDummyUnits, 0}));
}

TEST(FixedRecord, RefusesGeometriesItCannotPresent) {
  struct Case {
    const char* name;
    uint32_t a, b, sectors;
  };
  const Case cases[] = {
      {"unitNoLongerThanATrack", 7, 9, 1000},
      {"zeroFactor", 0, 16, 1000},
      {"flashSmallerThanAUnit", 8, 16, 127},
  };
  for (const Case& k : cases) {
    DriveConfig c = fixedConfig();
    c.unitFactorA = k.a;
    c.unitFactorB = k.b;
    c.sectorCount = k.sectors;
    EXPECT_THROW(CEmulatedDrive{c}, std::invalid_argument) << k.name;
  }
  DriveConfig smallest = fixedConfig();
  smallest.unitFactorA = 8;
  smallest.unitFactorB = 8;
  smallest.sectorCount = 64;
  EXPECT_NO_THROW(CEmulatedDrive{smallest});
}

struct ConfigureRefusal {
  const char* name;
  Bytes block;
};

void PrintTo(const ConfigureRefusal& c, std::ostream* os) { *os << c.name; }

const ConfigureRefusal kConfigureRefusals[] = {
    {"noPublicUnitLeft", fixedConfigure(8, 2, "pw")},
    {"beyondTheDisk", fixedConfigure(11, 0, "pw")},
    {"sumOverflows32Bits", fixedConfigure(0xFFFFFFFF, 2, "pw")},
    {"passwordLengthAbove16", fixedConfigure(1, 1, "pw", 17)},
    {"safeWithoutPassword", fixedConfigure(1, 1, "", 0)},
};

class FixedConfigureRefusals : public ::testing::TestWithParam<ConfigureRefusal> {};

TEST_P(FixedConfigureRefusals, LeaveLayoutAndPasswordAlone) {
  ZonedDisk z;
  const Bytes before = record(z.drive);
  const Bytes sector0 = z.drive.sector(0);
  expectRefused(sendOut(z.drive, 0x0045, GetParam().block));
  EXPECT_EQ(record(z.drive), before);
  EXPECT_EQ(z.drive.sector(0), sector0);
  z.enter();
}

INSTANTIATE_TEST_SUITE_P(Drive, FixedConfigureRefusals, ::testing::ValuesIn(kConfigureRefusals),
                         [](const ::testing::TestParamInfo<ConfigureRefusal>& i) {
                           return std::string(i.param.name);
                         });

// ---- switching ---------------------------------------------------------------------

struct SwitchCase {
  const char* name;
  uint32_t safeUnits;
  bool startInSafe;
  Bytes block;
  bool accepted;
  bool safeAfter;
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

const SwitchCase kSwitches[] = {
    {"rightPasswordEnters", kSafeUnits, false, fixedSwitch("secret"), true, true},
    {"paddedToSixteenEnters", kSafeUnits, false, fixedSwitch("secret", 16), true, true},
    {"lengthZeroLeaves", kSafeUnits, true, fixedSwitch("", 0), true, false},
    {"lengthZeroIgnoresTheBytes", kSafeUnits, true, fixedSwitch("secret", 0), true, false},
    {"wrongPassword", kSafeUnits, false, fixedSwitch("secreT"), false, false},
    {"shortLength", kSafeUnits, false, fixedSwitch("secret", 5), false, false},
    {"lengthAbove16", kSafeUnits, false, fixedSwitch("secret", 17), false, false},
    {"wrongWhileInsideStaysInside", kSafeUnits, true, fixedSwitch("nope"), false, true},
    {"noSafePartition", 0, false, fixedSwitch("secret"), false, false},
};

class FixedSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(FixedSwitches, ShowTheRightPartitionInTheSecondSlot) {
  const SwitchCase& c = GetParam();
  ZonedDisk z(c.safeUnits);
  if (c.startInSafe) z.enter();
  const ScsiResult r = sendOut(z.drive, 0x0046, c.block);
  if (c.accepted) {
    EXPECT_EQ(r.status, emu::kStatusGood);
    EXPECT_EQ(r.transferred, 20u);
  } else {
    expectRefused(r);
  }
  EXPECT_EQ(le(record(z.drive), 24), c.safeAfter ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Drive, FixedSwitches, ::testing::ValuesIn(kSwitches),
                         [](const ::testing::TestParamInfo<SwitchCase>& i) {
                           return std::string(i.param.name);
                         });

// ---- the partition table in sector 0 ----------------------------------------------

// A host master boot record: boot code everywhere, a stale table behind it.
Bytes hostMbr() {
  Bytes mbr(512);
  for (size_t i = 0; i < mbr.size(); ++i) mbr[i] = uint8_t(0x30 + i % 37);
  mbr[446] = 0x80;  // the host marks the first partition bootable
  return mbr;
}

Bytes tableOf(const Bytes& sector0) { return Bytes(sector0.begin() + 446, sector0.end()); }

// Entry 0: the public partition [63, 640). CHS for 255 heads × 63 sectors.
const Bytes kPublicEntry = {0x80, 0x01, 0x01, 0x00, 0x06, 0x0A, 0x0A, 0x00,
                            0x3F, 0x00, 0x00, 0x00, 0x41, 0x02, 0x00, 0x00};
// Entry 1 while logged out: the dummy partition [640, 896).
const Bytes kDummyEntry = {0x00, 0x0A, 0x0B, 0x00, 0x06, 0x0E, 0x0E, 0x00,
                           0x80, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00};
// Entry 1 while logged in: the safe partition [640, 1024).
const Bytes kSafeEntry = {0x00, 0x0A, 0x0B, 0x00, 0x06, 0x10, 0x10, 0x00,
                          0x80, 0x02, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00};
const Bytes kEmptyEntry(16, 0);

Bytes table(const Bytes& entry0, const Bytes& entry1) {
  Bytes t = entry0;
  t.insert(t.end(), entry1.begin(), entry1.end());
  t.resize(64, 0);
  t.push_back(0x55);
  t.push_back(0xAA);
  return t;
}

TEST(FixedPartitionTable, DriveFillsTheEntriesAndFollowsTheSwitch) {
  ZonedDisk z;
  const Bytes mbr = hostMbr();
  ASSERT_EQ(writeSector(z.drive, 0, mbr).status, emu::kStatusGood);
  const ScsiResult r = sendOut(z.drive, 0x0047, words({1, 0}));
  EXPECT_EQ(r.status, emu::kStatusGood);
  EXPECT_EQ(r.transferred, 8u);

  Bytes sector0 = readSector(z.drive, 0);
  EXPECT_EQ(Bytes(sector0.begin(), sector0.begin() + 446), Bytes(mbr.begin(), mbr.begin() + 446));
  EXPECT_EQ(tableOf(sector0), table(kPublicEntry, kDummyEntry));

  z.enter();
  sector0 = readSector(z.drive, 0);
  EXPECT_EQ(Bytes(sector0.begin(), sector0.begin() + 446), Bytes(mbr.begin(), mbr.begin() + 446));
  EXPECT_EQ(tableOf(sector0), table(kPublicEntry, kSafeEntry));

  z.leave();
  EXPECT_EQ(tableOf(readSector(z.drive, 0)), table(kPublicEntry, kDummyEntry));
}

TEST(FixedPartitionTable, EmptySlotGivesAnEmptyEntry) {
  ZonedDisk z(kSafeUnits, 0);
  ASSERT_EQ(writeSector(z.drive, 0, hostMbr()).status, emu::kStatusGood);
  ASSERT_EQ(sendOut(z.drive, 0x0047, words({1, 0})).status, emu::kStatusGood);
  // Public is now [63, 896): 833 sectors, ending at LBA 895.
  const Bytes publicEntry = {0x80, 0x01, 0x01, 0x00, 0x06, 0x0E, 0x0E, 0x00,
                             0x3F, 0x00, 0x00, 0x00, 0x41, 0x03, 0x00, 0x00};
  EXPECT_EQ(tableOf(readSector(z.drive, 0)), table(publicEntry, kEmptyEntry));
  z.enter();
  const Bytes safeEntry = {0x00, 0x0E, 0x0F, 0x00, 0x06, 0x14, 0x14, 0x00,
                           0x80, 0x03, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00};
  EXPECT_EQ(tableOf(readSector(z.drive, 0)), table(publicEntry, safeEntry));
}

TEST(FixedPartitionTable, CylindersSaturateOnABigDisk) {
  DriveConfig c = fixedConfig();
  c.unitFactorA = 64;
  c.unitFactorB = 32;
  c.sectorCount = 2048 * 9000;  // past 1024 cylinders of 255 × 63
  CEmulatedDrive drive(c);
  ASSERT_EQ(sendOut(drive, 0x0047, words({1, 0})).status, emu::kStatusGood);
  const Bytes entry0 = {0x00, 0x01, 0x01, 0x00, 0x06, 0xFE, 0xFF, 0xFF,
                        0x3F, 0x00, 0x00, 0x00, 0xC1, 0x3F, 0x19, 0x01};
  EXPECT_EQ(tableOf(drive.sector(0)), table(entry0, kEmptyEntry));
}

TEST(FixedPartitionTable, RefusedBlockLeavesSectorZero) {
  ZonedDisk z;
  const Bytes mbr = hostMbr();
  ASSERT_EQ(writeSector(z.drive, 0, mbr).status, emu::kStatusGood);
  expectRefused(sendOut(z.drive, 0x0047, words({2, 0})));
  EXPECT_EQ(z.drive.sector(0), mbr);
}

// ---- addressing ----------------------------------------------------------------------

TEST(FixedAddressing, SecondSlotShowsDummyOrSafeAndTheGapHasNoFlash) {
  ZonedDisk z;
  CEmulatedDrive& drive = z.drive;
  ASSERT_EQ(writeSector(drive, kPublic - 1, pattern(1)).status, emu::kStatusGood);
  ASSERT_EQ(writeSector(drive, kPublic, pattern(2)).status, emu::kStatusGood);
  ASSERT_EQ(writeSector(drive, kPublic + kDummy - 1, pattern(3)).status, emu::kStatusGood);
  EXPECT_EQ(drive.sector(kPublic), pattern(2));  // the dummy lies right behind public
  EXPECT_EQ(drive.sector(kPublic + kDummy - 1), pattern(3));
  // Behind the dummy slot: reads give zeros, writes are refused whole.
  EXPECT_EQ(readSector(drive, kPublic + kDummy), Bytes(512, 0));
  EXPECT_EQ(readSector(drive, kDisk - 1), Bytes(512, 0));
  Bytes across(1024, 0x66);
  expectRefused(run(drive, raw::cdb::write10(kPublic + kDummy - 1, 2), across, false),
                emu::kAscLbaOutOfRange);
  EXPECT_EQ(drive.sector(kPublic + kDummy - 1), pattern(3));

  z.enter();
  EXPECT_EQ(readSector(drive, kPublic - 1), pattern(1));  // public is shared
  EXPECT_EQ(readSector(drive, kPublic), Bytes(512, 0));   // the safe partition is untouched
  ASSERT_EQ(writeSector(drive, kPublic, pattern(4)).status, emu::kStatusGood);
  ASSERT_EQ(writeSector(drive, kPublic + kSafe - 1, pattern(5)).status, emu::kStatusGood);
  EXPECT_EQ(drive.sector(kPublic + kDummy), pattern(4));
  EXPECT_EQ(drive.sector(kDisk - 1), pattern(5));
  expectRefused(writeSector(drive, kPublic + kSafe, pattern(9)), emu::kAscLbaOutOfRange);
  Bytes beyond(512, 0xAA);
  expectRefused(run(drive, raw::cdb::read10(kDisk, 1), beyond, true), emu::kAscLbaOutOfRange);

  z.leave();
  EXPECT_EQ(readSector(drive, kPublic), pattern(2));
  // A read running from the slot into the gap gives the slot's data, then zeros.
  Bytes two(1024, 0xAA);
  ASSERT_EQ(run(drive, raw::cdb::read10(kPublic + kDummy - 1, 2), two, true).status,
            emu::kStatusGood);
  EXPECT_EQ(Bytes(two.begin(), two.begin() + 512), pattern(3));
  EXPECT_EQ(Bytes(two.begin() + 512, two.end()), Bytes(512, 0));
}

TEST(FixedAddressing, UnconfiguredDiskIsAllPublic) {
  CEmulatedDrive drive(fixedConfig());
  ASSERT_EQ(writeSector(drive, kDisk - 1, pattern(7)).status, emu::kStatusGood);
  EXPECT_EQ(drive.sector(kDisk - 1), pattern(7));
  expectRefused(writeSector(drive, kDisk, pattern(7)), emu::kAscLbaOutOfRange);
}

// ---- LUN mode and password change ------------------------------------------------

TEST(FixedLunMode, IsAStoredValue) {
  ZonedDisk z;
  EXPECT_EQ(readIn(z.drive, 0x004D, 4), words({0}));
  for (const uint32_t mode : {1u, 0u, 7u}) {
    const ScsiResult r = sendOut(z.drive, 0x004C, words({mode, 1, 10, 10000}));
    EXPECT_EQ(r.status, emu::kStatusGood);
    EXPECT_EQ(r.transferred, 16u);
    EXPECT_EQ(readIn(z.drive, 0x004D, 4), words({mode}));
    EXPECT_EQ(record(z.drive), words({kUnits, 8, 16, 0, kSafeUnits, kDummyUnits, 0}));
  }
}

TEST(FixedPasswordChange, RealLengthsAsTheHostSendsThem) {
  ZonedDisk z;
  expectRefused(sendOut(z.drive, 0x004B, changePassword(5, "wrong", 3, "new")));
  ASSERT_EQ(sendOut(z.drive, 0x004B, changePassword(6, "secret", 3, "new")).status,
            emu::kStatusGood);
  expectRefused(sendOut(z.drive, 0x0046, fixedSwitch("secret")));
  EXPECT_EQ(sendOut(z.drive, 0x0046, fixedSwitch("new")).status, emu::kStatusGood);
}

}  // namespace
