// The removable drive's privacy zone at the SCSI level: the configuration
// record, configure, partition switch, addressing of the presented partition and
// the password change.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ZoneCommands.h"

namespace {

using emu::CEmulatedDrive;
using emu::DriveConfig;
using emu::ScsiResult;
using namespace zone;

constexpr uint32_t kTotal = 4096;
constexpr uint32_t kUnit = 256;
constexpr uint32_t kSafeUnits = 4;
constexpr uint32_t kSafe = kSafeUnits * kUnit;  // 1024
constexpr uint32_t kPublic = kTotal - kSafe;    // 3072

DriveConfig removableConfig() {
  DriveConfig c;
  c.serial = "SN0001";
  c.sectorCount = kTotal;
  c.allocationUnitSectors = kUnit;
  return c;
}

Bytes record(CEmulatedDrive& drive) { return readIn(drive, 0x0040, 20); }

// A drive with a safe partition of kSafeUnits units guarded by "secret".
struct ZonedDrive {
  ZonedDrive() {
    EXPECT_EQ(sendOut(drive, 0x0041, removableConfigure(kSafeUnits, "secret")).status,
              emu::kStatusGood);
  }
  CEmulatedDrive drive{removableConfig()};
};

TEST(RemovableRecord, ReflectsConfigureAndSwitches) {
  CEmulatedDrive drive(removableConfig());
  EXPECT_EQ(record(drive), words({1, kTotal, 0, 0, kUnit}));

  const ScsiResult r = sendOut(drive, 0x0041, removableConfigure(kSafeUnits, "secret"));
  EXPECT_EQ(r.status, emu::kStatusGood);
  EXPECT_EQ(r.transferred, 20u);
  EXPECT_EQ(record(drive), words({1, kTotal, kSafe, 0, kUnit}));

  ASSERT_EQ(sendOut(drive, 0x0042, removableSwitch("secret")).status, emu::kStatusGood);
  EXPECT_EQ(record(drive), words({1, kTotal, kSafe, 1, kUnit}));

  ASSERT_EQ(sendOut(drive, 0x0042, removableSwitch("")).status, emu::kStatusGood);
  EXPECT_EQ(record(drive), words({1, kTotal, kSafe, 0, kUnit}));
}

TEST(RemovableRecord, ConfigureWhileSafeIsPresentedReturnsToPublic) {
  ZonedDrive z;
  ASSERT_EQ(sendOut(z.drive, 0x0042, removableSwitch("secret")).status, emu::kStatusGood);
  ASSERT_EQ(sendOut(z.drive, 0x0041, removableConfigure(2, "other")).status, emu::kStatusGood);
  EXPECT_EQ(record(z.drive), words({1, kTotal, 2 * kUnit, 0, kUnit}));
  EXPECT_EQ(lastLba(z.drive), kTotal - 2 * kUnit - 1);
  // The new password replaced the old one.
  expectRefused(sendOut(z.drive, 0x0042, removableSwitch("secret")));
  EXPECT_EQ(sendOut(z.drive, 0x0042, removableSwitch("other")).status, emu::kStatusGood);
}

struct ConfigureRefusal {
  const char* name;
  uint32_t units;
  const char* password;
};

void PrintTo(const ConfigureRefusal& c, std::ostream* os) { *os << c.name; }

const ConfigureRefusal kConfigureRefusals[] = {
    {"safeFillsTheDrive", kTotal / kUnit, "secret"},
    {"safeBeyondTheDrive", kTotal / kUnit + 1, "secret"},
    {"unitCountOverflowsSectors", 0x01000000, "secret"},  // × 256 wraps to 0 in 32 bits
    {"safeWithoutPassword", 1, ""},
};

class RemovableConfigureRefusals : public ::testing::TestWithParam<ConfigureRefusal> {};

TEST_P(RemovableConfigureRefusals, LeaveLayoutAndPasswordAlone) {
  const ConfigureRefusal& c = GetParam();
  ZonedDrive z;
  const Bytes before = record(z.drive);
  expectRefused(sendOut(z.drive, 0x0041, removableConfigure(c.units, c.password)));
  EXPECT_EQ(record(z.drive), before);
  EXPECT_EQ(sendOut(z.drive, 0x0042, removableSwitch("secret")).status, emu::kStatusGood);
}

INSTANTIATE_TEST_SUITE_P(Drive, RemovableConfigureRefusals, ::testing::ValuesIn(kConfigureRefusals),
                         [](const ::testing::TestParamInfo<ConfigureRefusal>& i) {
                           return std::string(i.param.name);
                         });

TEST(RemovableConfigure, LargestSafePartitionLeavesOneUnitPublic) {
  CEmulatedDrive drive(removableConfig());
  ASSERT_EQ(sendOut(drive, 0x0041, removableConfigure(kTotal / kUnit - 1, "x")).status,
            emu::kStatusGood);
  EXPECT_EQ(lastLba(drive), kUnit - 1);
}

// ---- switching ---------------------------------------------------------------------

struct SwitchCase {
  const char* name;
  bool withSafe;  // configured with kSafeUnits units, else with none
  bool startInSafe;
  std::string password;  // sent zero padded
  bool accepted;
  bool safeAfter;
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

const SwitchCase kSwitches[] = {
    {"rightPasswordEnters", true, false, "secret", true, true},
    {"rightPasswordWhileInsideStays", true, true, "secret", true, true},
    {"zerosLeave", true, true, "", true, false},
    {"zerosWhileOutside", true, false, "", true, false},
    {"wrongCase", true, false, "Secret", false, false},
    {"prefix", true, false, "secre", false, false},
    {"longer", true, false, "secret1", false, false},
    {"wrongWhileInsideStaysInside", true, true, "nope", false, true},
    {"noSafePartition", false, false, "secret", false, false},
    {"zerosWithoutSafePartition", false, false, "", true, false},
};

class RemovableSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(RemovableSwitches, PresentTheRightPartition) {
  const SwitchCase& c = GetParam();
  CEmulatedDrive drive(removableConfig());
  ASSERT_EQ(
      sendOut(drive, 0x0041, removableConfigure(c.withSafe ? kSafeUnits : 0, "secret")).status,
      emu::kStatusGood);
  if (c.startInSafe) {
    ASSERT_EQ(sendOut(drive, 0x0042, removableSwitch("secret")).status, emu::kStatusGood);
  }

  const ScsiResult r = sendOut(drive, 0x0042, removableSwitch(c.password));
  if (c.accepted) {
    EXPECT_EQ(r.status, emu::kStatusGood);
    EXPECT_EQ(r.transferred, 16u);
  } else {
    expectRefused(r);
  }
  EXPECT_EQ(le(record(drive), 12), c.safeAfter ? 1u : 0u);
  const uint32_t publicSectors = c.withSafe ? kPublic : kTotal;
  EXPECT_EQ(lastLba(drive), (c.safeAfter ? kSafe : publicSectors) - 1);
}

INSTANTIATE_TEST_SUITE_P(Drive, RemovableSwitches, ::testing::ValuesIn(kSwitches),
                         [](const ::testing::TestParamInfo<SwitchCase>& i) {
                           return std::string(i.param.name);
                         });

// ---- addressing ----------------------------------------------------------------------

TEST(RemovableAddressing, EachPartitionStartsAtLbaZeroAndKeepsItsOwnSectors) {
  ZonedDrive z;
  CEmulatedDrive& drive = z.drive;
  ASSERT_EQ(writeSector(drive, 0, pattern(1)).status, emu::kStatusGood);
  ASSERT_EQ(writeSector(drive, kPublic - 1, pattern(2)).status, emu::kStatusGood);
  expectRefused(writeSector(drive, kPublic, pattern(9)), emu::kAscLbaOutOfRange);

  ASSERT_EQ(sendOut(drive, 0x0042, removableSwitch("secret")).status, emu::kStatusGood);
  // The safe partition's first sector is the flash sector right after the public ones.
  EXPECT_EQ(readSector(drive, 0), Bytes(512, 0));
  ASSERT_EQ(writeSector(drive, 0, pattern(3)).status, emu::kStatusGood);
  ASSERT_EQ(writeSector(drive, kSafe - 1, pattern(4)).status, emu::kStatusGood);
  expectRefused(writeSector(drive, kSafe, pattern(9)), emu::kAscLbaOutOfRange);
  EXPECT_EQ(drive.sector(kPublic), pattern(3));
  EXPECT_EQ(drive.sector(kTotal - 1), pattern(4));
  EXPECT_EQ(drive.sector(0), pattern(1));

  ASSERT_EQ(sendOut(drive, 0x0042, removableSwitch("")).status, emu::kStatusGood);
  EXPECT_EQ(readSector(drive, 0), pattern(1));
  EXPECT_EQ(readSector(drive, kPublic - 1), pattern(2));
  Bytes beyond(512, 0xAA);
  expectRefused(run(drive, raw::cdb::read10(kPublic, 1), beyond, true), emu::kAscLbaOutOfRange);
  EXPECT_EQ(beyond, Bytes(512, 0xAA));
}

TEST(RemovableAddressing, TransferAcrossThePartitionEndIsRefused) {
  ZonedDrive z;
  ASSERT_EQ(sendOut(z.drive, 0x0042, removableSwitch("secret")).status, emu::kStatusGood);
  Bytes two(1024, 0x55);
  expectRefused(run(z.drive, raw::cdb::write10(kSafe - 1, 2), two, false), emu::kAscLbaOutOfRange);
  EXPECT_EQ(z.drive.storedSectorCount(), 0u);
}

// ---- password change -------------------------------------------------------------

struct PasswordChange {
  const char* name;
  uint32_t length1;
  std::string first;
  uint32_t length2;
  std::string second;
  bool accepted;
};

void PrintTo(const PasswordChange& c, std::ostream* os) { *os << c.name; }

const PasswordChange kPasswordChanges[] = {
    {"fixedLengths", 16, "secret", 16, "fresh", true},
    {"realLengths", 6, "secret", 5, "fresh", true},
    {"fullSixteen", 6, "secret", 16, "ABCDEFGHIJKLMNOP", true},
    {"wrongCurrent", 16, "secreT", 16, "fresh", false},
    {"currentCutShort", 5, "secret", 5, "fresh", false},  // only "secre" counts
    {"currentTooLong", 17, "secret", 5, "fresh", false},
    {"newTooLong", 6, "secret", 17, "fresh", false},
    {"emptyNew", 6, "secret", 0, "", false},
    {"swappedOrder", 5, "fresh", 6, "secret", false},
};

class RemovablePasswordChanges : public ::testing::TestWithParam<PasswordChange> {};

TEST_P(RemovablePasswordChanges, ReplaceThePasswordOnlyWhenTheCurrentOneMatches) {
  const PasswordChange& c = GetParam();
  ZonedDrive z;
  const ScsiResult r =
      sendOut(z.drive, 0x004B, changePassword(c.length1, c.first, c.length2, c.second));
  if (c.accepted) {
    EXPECT_EQ(r.status, emu::kStatusGood);
    EXPECT_EQ(r.transferred, 40u);
  } else {
    expectRefused(r);
  }
  const std::string valid = c.accepted ? c.second : "secret";
  const std::string stale = c.accepted ? "secret" : c.second;
  if (!stale.empty() && stale != valid)
    expectRefused(sendOut(z.drive, 0x0042, removableSwitch(stale)));
  EXPECT_EQ(sendOut(z.drive, 0x0042, removableSwitch(valid)).status, emu::kStatusGood);
  // A change never moves the presented partition on its own.
  EXPECT_EQ(record(z.drive), words({1, kTotal, kSafe, 1, kUnit}));
}

INSTANTIATE_TEST_SUITE_P(Drive, RemovablePasswordChanges, ::testing::ValuesIn(kPasswordChanges),
                         [](const ::testing::TestParamInfo<PasswordChange>& i) {
                           return std::string(i.param.name);
                         });

}  // namespace
