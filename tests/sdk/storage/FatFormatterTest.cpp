// The formatter against its rules, against emulated drives, and the volumes it
// writes against independent checkers (fsck.fat, mtools).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BootImages.h"
#include "DepositNotify.h"
#include "DeviceHandle.h"
#include "DriveFixture.h"
#include "FatFormatter.h"
#include "FormatTemplate.h"
#include "NTConnection.h"
#include "PDKClock.h"
#include "RunCommand.h"
#include "VolumeCheck.h"

namespace {

std::string text(const Sector& s, size_t at, size_t length) {
  return std::string(reinterpret_cast<const char*>(s.data() + at), length);
}

// ---- the rules ---------------------------------------------------------------

struct SizeCase {
  uint32_t capacityKb;
  uint32_t heads;  // given
  int rc;
  uint32_t total;
  uint32_t headsAfter;
};

class TotalSectorsTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(TotalSectorsTest, CutsToWholeCylindersAndKeepsTheLimits) {
  const SizeCase c = GetParam();
  uint32_t heads = c.heads, total = 12345;
  EXPECT_EQ(CFatFormatter::totalSectors(c.capacityKb, heads, 63, total), c.rc);
  EXPECT_EQ(total, c.total);
  EXPECT_EQ(heads, c.headsAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TotalSectorsTest,
    ::testing::Values(SizeCase{188, 6, 18, 0, 6},           // 376 sectors: no whole cylinder
                      SizeCase{189, 6, 0, 378, 6},          // one cylinder
                      SizeCase{8316, 6, 0, 16632, 6},       // 44 cylinders
                      SizeCase{8000, 6, 0, 15876, 6},       // 16,000 cut to 42 cylinders
                      SizeCase{32768, 6, 0, 65394, 6},      // 173 cylinders
                      SizeCase{193536, 6, 0, 386757, 7},    // 1,024 cylinders of 6 heads: grows
                      SizeCase{524288, 6, 0, 1048509, 17},  // heads grow to 17
                      SizeCase{1048576, 6, 19, 0, 33},      // still too big after the cut
                      SizeCase{100, 16, 0, 200, 16},        // other heads: no cut
                      SizeCase{99, 16, 18, 0, 16}, SizeCase{524287, 16, 0, 1048574, 16},
                      SizeCase{524288, 16, 19, 0, 16}, SizeCase{0xFFFFFFFFu, 16, 19, 0, 16}));

struct KindCase {
  uint32_t total;
  int bits;
  uint32_t cluster;
  uint8_t type;
};

class FatKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(FatKindTest, TableRowAndPartitionType) {
  const KindCase c = GetParam();
  const CFatFormatter::FatKind kind = CFatFormatter::fatKindFor(c.total);
  EXPECT_EQ(kind.bits, c.bits);
  EXPECT_EQ(kind.sectorsPerCluster, c.cluster);
  EXPECT_EQ(CFatFormatter::partitionType(c.total), c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FatKindTest,
    ::testing::Values(KindCase{200, 12, 4, 0x01}, KindCase{15999, 12, 4, 0x01},
                      KindCase{16000, 12, 4, 0x01}, KindCase{16001, 12, 8, 0x01},
                      KindCase{32679, 12, 8, 0x01}, KindCase{32680, 16, 1, 0x04},
                      KindCase{65535, 16, 1, 0x04}, KindCase{65536, 16, 2, 0x06},
                      KindCase{131071, 16, 2, 0x06}, KindCase{131072, 16, 4, 0x06},
                      KindCase{262140, 16, 4, 0x06}, KindCase{262141, 16, 4, 0x0E},
                      KindCase{262143, 16, 4, 0x0E}, KindCase{262144, 16, 8, 0x0E},
                      KindCase{524287, 16, 8, 0x0E}, KindCase{524288, 16, 16, 0x0E},
                      KindCase{1048575, 16, 16, 0x0E}, KindCase{1048576, 16, 32, 0x0E}));

TEST(FatSectorsTest, KnownVolumes) {
  EXPECT_EQ(CFatFormatter::solveFatSectors(16353, 8, 12), 6u);
  EXPECT_EQ(CFatFormatter::solveFatSectors(65536, 2, 16), 128u);
  EXPECT_EQ(CFatFormatter::solveFatSectors(315, 4, 12), 1u);
  EXPECT_EQ(CFatFormatter::fatSectorsFor(4094 * 4, 4, 12), 12u);  // 4,096 entries, 6,144 bytes
  EXPECT_EQ(CFatFormatter::fatSectorsFor(4095 * 4, 4, 12), 13u);
}

// For every size of each row: the FATs cover all clusters of the data area the
// layout leaves, and one sector less per FAT would not.
TEST(FatSectorsTest, FatsCoverTheDataAreaAndAreNotOversized) {
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t n = 200 + random() % (1048575 - 200);
    const CFatFormatter::FatKind kind = CFatFormatter::fatKindFor(n);
    const uint32_t fat = CFatFormatter::solveFatSectors(n, kind.sectorsPerCluster, kind.bits);
    const uint32_t clusters = (n - 33 - 2 * fat) / kind.sectorsPerCluster;
    ASSERT_LE(static_cast<uint64_t>(clusters + 2) * kind.bits, fat * 4096ull) << n;
    const uint32_t fewer = (n - 33 - 2 * (fat - 1)) / kind.sectorsPerCluster;
    if (fat > 1) {
      ASSERT_GT(static_cast<uint64_t>(fewer + 2) * kind.bits, (fat - 1) * 4096ull) << n;
    }
  }
}

struct ParseCase {
  const char* what;
  std::function<void(Sector&)> make;
  CFatFormatter::Existing::Kind kind;
  uint32_t heads;
  uint32_t sectorsPerTrack;
  bool bootable;
};

Sector partitionTable(uint8_t indicator, uint8_t endHead, uint8_t endSector) {
  Sector s(512, 0);
  s[0x1BE] = indicator;
  s[0x1C3] = endHead;
  s[0x1C4] = endSector;
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

TEST(ParseSectorZeroTest, Table) {
  using K = CFatFormatter::Existing;
  const ParseCase cases[] = {
      {"active table", [](Sector& s) { s = partitionTable(0x80, 5, 63 | 0xC0); },
       K::kPartitionTable, 6, 63, true},
      {"inactive table", [](Sector& s) { s = partitionTable(0, 15, 3); }, K::kPartitionTable, 16, 3,
       false},
      {"17 heads", [](Sector& s) { s = partitionTable(0, 16, 63); }, K::kNothing, 0, 0, false},
      {"2 sectors per track", [](Sector& s) { s = partitionTable(0, 5, 2); }, K::kNothing, 0, 0,
       false},
      {"bad indicator", [](Sector& s) { s = partitionTable(0x81, 5, 63); }, K::kNothing, 0, 0,
       false},
      {"boot sector",
       [](Sector& s) {
         s = partitionTable(0x81, 5, 63);
         s[21] = 0xF8, s[38] = 0x29, s[26] = 16, s[24] = 32;
       },
       K::kBootSector, 16, 32, false},
      {"boot sector, impossible geometry",
       [](Sector& s) {
         s = partitionTable(0x81, 5, 63);
         s[21] = 0xF8, s[38] = 0x29, s[27] = 1, s[24] = 64;
       },
       K::kBootSector, 0, 0, false},
      {"boot sector without signature",
       [](Sector& s) {
         s = partitionTable(0x81, 5, 63);
         s[21] = 0xF8;
       },
       K::kNothing, 0, 0, false},
  };
  for (const ParseCase& c : cases) {
    Sector s;
    c.make(s);
    const CFatFormatter::Existing e = CFatFormatter::parseSectorZero(s.data());
    EXPECT_EQ(e.kind, c.kind) << c.what;
    EXPECT_EQ(e.heads, c.heads) << c.what;
    EXPECT_EQ(e.sectorsPerTrack, c.sectorsPerTrack) << c.what;
    EXPECT_EQ(e.bootable, c.bootable) << c.what;
  }
}

// ---- the built-in images -----------------------------------------------------

struct MessageRef {
  const CBootImages::Image* image;
  size_t operand;  // offset of a 16-bit address in the code
  size_t message;
  const char* text;
};

// The code finds its texts through absolute addresses (image loaded at 7C00h):
// each must land on the text that belongs there.
TEST(BootImagesTest, CodeAddressesItsMessages) {
  const CBootImages::Image& boot = CBootImages::bootSector();
  const CBootImages::Image& removable = CBootImages::removableMbr();
  const MessageRef refs[] = {
      {&boot, 0x55, CBootImages::kBootInvalidSystem, "Invalid system disk"},
      {&boot, 0x5A, CBootImages::kBootIoError, "Disk I/O error"},
      {&boot, 0x60, CBootImages::kBootReplaceDisk, "Replace the disk, and then press any key"},
      {&removable, 0x31, CBootImages::kRemovableInvalidTable, "Invalid partition table"},
      {&removable, 0x2C, CBootImages::kRemovableLoadError, "Error loading operating system"},
      {&removable, 0x25, CBootImages::kRemovableMissing, "Missing operating system"},
      {&removable, 0x0D, 0x1BE, ""},
  };
  for (const MessageRef& r : refs) {
    const CBootImages::Image& i = *r.image;
    EXPECT_EQ(i[r.operand] | (i[r.operand + 1] << 8), 0x7C00 + r.message) << r.text;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(i.data() + r.message)).rfind(r.text, 0), 0u)
        << r.text;
  }
  const CBootImages::Image& fixed = CBootImages::fixedDiskMbr();
  const size_t texts[] = {CBootImages::kFixedInvalidTable, CBootImages::kFixedLoadError,
                          CBootImages::kFixedMissing};
  const char* names[] = {"Invalid partition table", "Error loading operating system",
                         "Missing operating system"};
  for (int k = 0; k < 3; ++k) {
    // mov ah,7Dh joins the table's low byte to the page of the texts.
    EXPECT_EQ(0x7D00 + fixed[CBootImages::kFixedMessageTable + k], 0x7C00 + texts[k]);
    EXPECT_STREQ(reinterpret_cast<const char*>(fixed.data() + texts[k]), names[k]);
  }
  EXPECT_EQ(fixed[0x25] | (fixed[0x26] << 8), 0x7C00 + CBootImages::kFixedMessageTable + 2);
  EXPECT_EQ(fixed[0x2F] | (fixed[0x30] << 8), 0x7C00 + CBootImages::kFixedMessageTable);
  for (const CBootImages::Image* i : {&boot, &removable, &fixed}) {
    EXPECT_EQ((*i)[510], 0x55);
    EXPECT_EQ((*i)[511], 0xAA);
  }
  // The jump lands on the code right behind the parameter block; no code of
  // a master boot record reaches the partition table.
  EXPECT_EQ(boot[0], 0xEB);
  EXPECT_EQ(2 + boot[1], 0x3E);
  EXPECT_EQ(boot[0x3E], 0xFA);
  for (size_t k = 0x17C; k < 0x1B5; ++k) EXPECT_EQ(fixed[k], 0) << k;
}

// ---- runs on emulated drives -------------------------------------------------

class Recorder : public IDepositNotify {
 public:
  void onProgress(int value) override {
    values.push_back(value);
    if (onEach) onEach();
  }
  void onFormatDone() override {}
  void onError(int code, const char* what) override { errors.emplace_back(code, what); }
  void onCompleted() override {}
  void onReconnectFailed(int, const char*) override {}

  std::vector<int> values;
  std::vector<std::pair<int, std::string>> errors;
  std::function<void()> onEach;
};

class Template : public IFormatTemplate {
 public:
  bool writeMbr() override { return mbr; }
  bool bootable() override { return boot; }
  bool keepExisting() override { return keep; }
  int heads() override { return h; }
  int sectorsPerTrack() override { return spt; }
  const uint8_t* mbrCode() override { return mbrImage.empty() ? nullptr : mbrImage.data(); }
  const uint8_t* bootSector() override { return bootImage.empty() ? nullptr : bootImage.data(); }

  bool mbr = true, boot = true, keep = false;
  int h = 0, spt = 0;
  Sector mbrImage, bootImage;
};

// One emulated drive on E:, as DriveFixture builds it, for a table row.
struct Bench {
  explicit Bench(uint32_t sectors, bool removable = true)
      : drive(config(sectors, removable)), raw(port) {
    port.attach('E', &drive);
    pdk::setDevicePort(&raw);
    params = DeviceParams::forLetter('E');
    params.removable = removable ? 1 : 0;
  }
  ~Bench() { pdk::setDevicePort(nullptr); }
  static emu::DriveConfig config(uint32_t sectors, bool removable) {
    emu::DriveConfig c = smallDrive(sectors);
    c.removable = removable;
    return c;
  }
  Sector read(uint32_t lba) {
    Sector s(512);
    CDeviceHandle h(params);
    EXPECT_EQ(nt.read10(h, s.data(), lba, 1, 10000), 0);
    return s;
  }

  emu::CEmulatedDrive drive;
  emu::CEmuDevicePort port;
  RawCapturePort raw;
  CNTConnection nt;
  DeviceParams params;
};


struct DriveCase {
  uint32_t driveSectors;
  bool removable;
  int heads;  // from a template; 0: the default geometry
  int rc;
  uint32_t total;  // T
  int bits;
  uint32_t cluster;
  const char* label;
};

std::ostream& operator<<(std::ostream& os, const DriveCase& c) {
  return os << c.driveSectors << (c.removable ? " removable" : " fixed") << " heads " << c.heads;
}

class FormatDriveTest : public ::testing::TestWithParam<DriveCase> {};

TEST_P(FormatDriveTest, VolumeAsTheRulesSayAndTheCheckersAccept) {
  const DriveCase c = GetParam();
  Bench b(c.driveSectors, c.removable);
  CFatFormatter f(b.nt);
  Template t;
  t.h = c.heads;
  if (c.heads != 0) f.setTemplate(&t);
  Recorder notify;
  CDeviceHandle handle(b.params);
  const uint64_t before = CFatFormatter::progress();
  ASSERT_EQ(f.format(handle, &notify, c.label), c.rc);
  EXPECT_FALSE(f.isBusy());
  if (c.rc != 0) {
    EXPECT_EQ(b.read(0), Sector(512, 0)) << "nothing written";
    return;
  }
  EXPECT_LE(CFatFormatter::progress() - before, 100u);
  EXPECT_GE(CFatFormatter::progress() - before, 90u);

  const Sector mbr = b.read(0);
  const CBootImages::Image& code =
      c.removable ? CBootImages::removableMbr() : CBootImages::fixedDiskMbr();
  EXPECT_TRUE(std::equal(mbr.begin(), mbr.begin() + 446, code.begin()));
  EXPECT_EQ(mbr[446], 0x80);
  EXPECT_EQ(mbr[450], CFatFormatter::partitionType(c.total));
  EXPECT_EQ(le32(mbr, 454), 63u);
  EXPECT_EQ(le32(mbr, 458), c.total - 63);
  const uint32_t heads = f.heads();
  const uint32_t lastCylinder = c.total / heads / 63 - 1;
  EXPECT_EQ(mbr[451], heads - 1);
  EXPECT_EQ(mbr[452], (63 | ((lastCylinder >> 2) & 0xC0)));
  EXPECT_EQ(mbr[453], lastCylinder & 0xFF);
  for (uint32_t k = 1; k < 63; ++k) EXPECT_EQ(b.read(k), Sector(512, 0)) << k;

  const Sector boot = b.read(63);
  const uint32_t n = c.total - 63;
  EXPECT_EQ(volumeSectors(boot), n);
  EXPECT_EQ(le16(boot, 19), n <= 0xFFFF ? n : 0u);
  EXPECT_EQ(le32(boot, 32), n > 0xFFFF ? n : 0u);
  EXPECT_EQ(boot[13], c.cluster);
  EXPECT_EQ(le32(boot, 28), 63u);
  EXPECT_EQ(boot[36], 0x80);
  EXPECT_EQ(text(boot, 3, 8), "*..6<IHC");
  EXPECT_EQ(text(boot, 54, 8), c.bits == 12 ? "FAT12   " : "FAT16   ");
  const Sector fat = b.read(64);
  EXPECT_EQ(fat[3], c.bits == 16 ? 0xFF : 0x00);
  EXPECT_EQ(b.read(64 + le16(boot, 22)), fat) << "second FAT";

  const size_t length = std::strlen(c.label);
  std::string label = length >= 1 && length <= 11 ? std::string(c.label) : "NO NAME";
  std::string field = label;
  field.resize(11, length >= 1 && length <= 11 ? '\0' : ' ');
  EXPECT_EQ(text(boot, 43, 11), field);
  SKIP_WITHOUT_CHECKERS();
  Tolerated tolerated;
  tolerated.labelWithoutEntry = label != "NO NAME";
  tolerated.labelPadding = label != "NO NAME" && label.size() < 11;
  checkVolume(b, c.driveSectors, 63, label, c.bits == 12 ? "FAT12" : "FAT16", tolerated);
}

// Every boundary of the size and FAT tables. With the default geometry a drive
// is cut to whole cylinders (heads grow past 1,023 cylinders); a template's 16
// heads keeps the size exactly, so the rows meet at their very edges (READ
// CAPACITY counts kilobytes: an odd sector count loses its last sector).
INSTANTIATE_TEST_SUITE_P(
    Boundaries, FormatDriveTest,
    ::testing::Values(DriveCase{377, true, 0, 18, 0, 0, 0, ""},
                      DriveCase{378, true, 0, 0, 378, 12, 4, "TINY"},
                      DriveCase{16000, true, 0, 0, 15876, 12, 4, "V15876"},
                      DriveCase{16000, true, 16, 0, 16000, 12, 4, "V16000"},
                      DriveCase{16002, true, 16, 0, 16002, 12, 8, "V16002"},
                      DriveCase{16632, true, 0, 0, 16632, 12, 8, "V16632"},
                      DriveCase{32679, true, 0, 0, 32508, 12, 8, "V32508"},
                      DriveCase{32679, true, 16, 0, 32678, 12, 8, "V32678"},
                      DriveCase{32680, true, 16, 0, 32680, 16, 1, "V32680"},
                      DriveCase{65535, true, 16, 0, 65534, 16, 1, "V65534"},
                      DriveCase{65536, true, 16, 0, 65536, 16, 2, "V65536"},
                      DriveCase{65536, false, 0, 0, 65394, 16, 1, "FIXED"},
                      DriveCase{131071, true, 16, 0, 131070, 16, 2, "V131070"},
                      DriveCase{131072, true, 16, 0, 131072, 16, 4, "V131072"},
                      DriveCase{262143, true, 16, 0, 262142, 16, 4, "V262142"},
                      DriveCase{262144, true, 16, 0, 262144, 16, 8, "V262144"},
                      DriveCase{262144, false, 0, 0, 261954, 16, 4, "ELEVENCHARS"},
                      DriveCase{524287, true, 16, 0, 524286, 16, 8, "V524286"},
                      DriveCase{524288, true, 16, 0, 524288, 16, 16, "TWELVECHARSX"},
                      DriveCase{1048575, true, 0, 0, 1048509, 16, 16, "V1048509"},
                      DriveCase{1048575, true, 16, 0, 1048574, 16, 16, "V1048574"},
                      DriveCase{1048576, true, 0, 0, 1048509, 16, 16, "V1048509"},
                      DriveCase{1048576, true, 16, 19, 0, 0, 0, "BIG"}));

// ---- faults ------------------------------------------------------------------

struct FaultCase {
  const char* what;
  emu::FaultKind kind;
  int afterProgress;  // inject when this many progress calls were made; -1: before the run
  int rc;
  bool partialProgress;
};

class FormatFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FormatFaultTest, FirstErrorReportedBusyClearedProgressBounded) {
  const FaultCase c = GetParam();
  Bench b(1048576);  // FAT16 with 256 sectors per FAT: three chunks
  CFatFormatter f(b.nt);
  f.setWeight(50);
  Recorder notify;
  bool busySeen = true;
  notify.onEach = [&] {
    busySeen = busySeen && f.isBusy();
    if (static_cast<int>(notify.values.size()) == c.afterProgress)
      b.drive.injectFaults(c.kind, 1, emu::CCommandFilter::opcode(0x2A));
  };
  if (c.afterProgress < 0) b.drive.injectFaults(c.kind, 1, emu::CCommandFilter::opcode(0x2A));
  CDeviceHandle handle(b.params);
  const uint64_t before = CFatFormatter::progress();
  EXPECT_EQ(f.format(handle, &notify, "X"), c.rc);
  EXPECT_FALSE(f.isBusy());
  EXPECT_TRUE(busySeen);
  const uint64_t made = CFatFormatter::progress() - before;
  EXPECT_LE(made, 50u);
  if (c.partialProgress) {
    EXPECT_GT(made, 0u);
    EXPECT_LT(made, 45u) << "a failed chunk counts for nothing";
    // The chunks after the failing one were still written: the root directory
    // step reported its progress last.
    EXPECT_EQ(notify.values.size(), 3u);
    size_t writes = 0;
    for (const emu::CommandRecord& r : b.drive.commandLog()) writes += r.cdb[0] == 0x2A ? 1 : 0;
    EXPECT_EQ(writes, 12u) << "MBR, track, boot sector, 2 FAT heads, 3 chunks per FAT, root";
  } else {
    EXPECT_EQ(made, 0u);
  }
  EXPECT_EQ(b.drive.pendingFaults(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, FormatFaultTest,
                         ::testing::Values(FaultCase{"master boot record, check condition",
                                                     emu::FaultKind::CheckCondition, -1, 4, false},
                                           FaultCase{"master boot record, not delivered",
                                                     emu::FaultKind::NotDelivered, -1, 3, false},
                                           FaultCase{"second FAT chunk",
                                                     emu::FaultKind::CheckCondition, 1, 4, true},
                                           FaultCase{"third FAT chunk, not delivered",
                                                     emu::FaultKind::NotDelivered, 2, 3, true}));

// ---- serial number -----------------------------------------------------------

class FixedClock : public pdkos::IClock {
 public:
  explicit FixedClock(uint32_t t) : m_t(t) {}
  uint32_t tickCount() override { return m_t; }
  void sleep(uint32_t) override {}

 private:
  uint32_t m_t;
};

TEST(SerialNumberTest, SeededByTheLowTickByteFirstDrawIsTheLowHalf) {
  for (uint32_t tick : {0x00000000u, 0x12345678u, 0xFFFFFF01u}) {
    FixedClock clock(tick);
    pdkos::setClock(&clock);
    Bench b(20000);
    CFatFormatter f(b.nt);
    CDeviceHandle handle(b.params);
    ASSERT_EQ(f.format(handle, nullptr, "S"), 0);
    pdkos::setClock(nullptr);
    std::srand(tick & 0xFF);
    const uint32_t low = static_cast<uint32_t>(std::rand()) & 0xFFFF;
    const uint32_t high = static_cast<uint32_t>(std::rand()) & 0xFFFF;
    EXPECT_EQ(le32(b.read(63), 39), (high << 16) | low) << tick;
  }
}

// ---- template and keep-existing ----------------------------------------------

TEST(FormatTemplateTest, ProviderImagesAndNoMasterBootRecord) {
  Bench b(20000);
  CFatFormatter f(b.nt);
  Template t;
  t.mbr = false;
  t.boot = false;
  t.bootImage.assign(512, 0xC3);
  f.setTemplate(&t);
  CDeviceHandle handle(b.params);
  ASSERT_EQ(f.format(handle, nullptr, "NOMBR"), 0);
  const Sector boot = b.read(0);
  EXPECT_EQ(boot[0x3E], 0xC3) << "the provider's code stays";
  EXPECT_EQ(le32(boot, 28), 0u) << "no hidden sectors";
  EXPECT_EQ(boot[36], 0x00) << "not bootable";
  EXPECT_EQ(volumeSectors(boot), 19656u);

  Bench b2(20000);
  CFatFormatter g(b2.nt);
  Template u;
  u.mbrImage.assign(446, 0x90);
  g.setTemplate(&u);
  CDeviceHandle handle2(b2.params);
  ASSERT_EQ(g.format(handle2, nullptr, "MBR"), 0);
  const Sector mbr = b2.read(0);
  EXPECT_EQ(mbr[0], 0x90);
  EXPECT_EQ(mbr[445], 0x90);
  EXPECT_EQ(mbr[446], 0x80);
}

TEST(KeepExistingTest, PartitionTableKeepsCodeGeometryAndLabel) {
  Bench b(40000);
  {
    CFatFormatter first(b.nt);
    CDeviceHandle handle(b.params);
    ASSERT_EQ(first.format(handle, nullptr, "KEEPME"), 0);
  }
  Sector mbr = b.read(0);
  std::fill(mbr.begin(), mbr.begin() + 446, 0xAB);
  mbr[446] = 0x00;  // not active
  b.drive.setSector(0, mbr.data());

  CFatFormatter f(b.nt);
  Template t;
  t.keep = true;
  t.boot = false;
  f.setTemplate(&t);
  CDeviceHandle handle(b.params);
  ASSERT_EQ(f.format(handle, nullptr, nullptr), 0);
  const Sector after = b.read(0);
  EXPECT_EQ(after[0], 0xAB);
  EXPECT_EQ(after[445], 0xAB);
  EXPECT_EQ(after[446], 0x00);
  EXPECT_EQ(text(b.read(63), 43, 11), std::string("KEEPME\0\0\0\0\0", 11));
  EXPECT_EQ(b.read(63)[0x3E], CBootImages::bootSector()[0x3E]);
}

TEST(KeepExistingTest, BareBootSectorIsFormattedInPlace) {
  Bench b(40000);
  Sector boot(CBootImages::bootSector().begin(), CBootImages::bootSector().end());
  std::memcpy(boot.data() + 43, "OLDLABEL   ", 11);
  boot[24] = 32;  // sectors per track
  boot[26] = 64;  // heads
  b.drive.setSector(0, boot.data());

  CFatFormatter f(b.nt);
  Template t;
  t.keep = true;
  f.setTemplate(&t);
  CDeviceHandle handle(b.params);
  ASSERT_EQ(f.format(handle, nullptr, nullptr), 0);
  EXPECT_EQ(f.heads(), 64u);
  EXPECT_EQ(f.sectorsPerTrack(), 32u);
  const Sector after = b.read(0);
  EXPECT_EQ(text(after, 43, 11), "OLDLABEL   ");
  EXPECT_EQ(volumeSectors(after), 40000u) << "no master boot record, no cut";
  EXPECT_EQ(after[36], 0x00);
  EXPECT_EQ(le32(after, 28), 0u);
}

TEST(KeepExistingTest, UnreadableSectorZeroEndsTheRun) {
  Bench b(40000);
  CFatFormatter f(b.nt);
  Template t;
  t.keep = true;
  f.setTemplate(&t);
  b.drive.injectFaults(emu::FaultKind::CheckCondition, 1, emu::CCommandFilter::opcode(0x28));
  CDeviceHandle handle(b.params);
  EXPECT_EQ(f.format(handle, nullptr, nullptr), 4);
  EXPECT_FALSE(f.isBusy());
  EXPECT_EQ(b.read(0), Sector(512, 0));
}

// ---- fixed disk: partition table and partition formats -----------------------

TEST(FormatPartitionTest, TableThenEachPartitionWithLabelAndMarker) {
  Bench b(16384, false);  // 8 units of 2,048 sectors
  CDeviceHandle handle(b.params);
  uint8_t configure[28] = {1, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 'p', 'w'};  // safe 1, dummy 2
  ASSERT_EQ(b.nt.vendorOut(handle, 0x0045, 0, nullptr, sizeof configure, configure, 10000), 0);

  CFatFormatter f(b.nt);
  b.drive.clearCommandLog();
  ASSERT_EQ(f.writePartitionTable(handle, 0), 0);
  bool tableCommand = false;
  for (const emu::CommandRecord& r : b.drive.commandLog())
    tableCommand |= r.cdb.size() > 2 && r.cdb[0] == 0xFF && r.cdb[1] == 0x47 && r.cdb[2] == 0;
  EXPECT_TRUE(tableCommand);
  const Sector mbr = b.read(0);
  EXPECT_TRUE(std::equal(mbr.begin(), mbr.begin() + 446, CBootImages::fixedDiskMbr().begin()));
  EXPECT_EQ(mbr[446], 0x80) << "the drive keeps our boot indicator";
  EXPECT_EQ(le32(mbr, 454), 63u);
  EXPECT_EQ(le32(mbr, 470), 5u * 2048);
  EXPECT_EQ(le32(mbr, 474), 2u * 2048);

  struct Part {
    int index;
    const char* label;
    int marker;
    const char* markerText;
    uint32_t start;
  };
  const Part parts[] = {{0, "PUBLICVOL", 0, ".PUBLIC", 63}, {1, "", 1, ".DUMMY", 10240}};
  for (const Part& p : parts) {
    Recorder notify;
    ASSERT_EQ(f.formatPartition(handle, p.index, -1, p.label, &notify, p.marker), 0);
    EXPECT_FALSE(f.isBusy());
    const Sector boot = b.read(p.start);
    EXPECT_EQ(le32(boot, 28), p.start);
    const Sector root = b.read(p.start + 1 + 2 * le16(boot, 22));
    const std::string label = *p.label ? p.label : "NO NAME";
    std::string name = label;
    name.resize(11, ' ');
    EXPECT_EQ(text(root, 0, 11), name);
    EXPECT_EQ(root[11], 0x08);
    std::string marker = p.markerText;
    marker.resize(11, ' ');
    EXPECT_EQ(text(root, 32, 11), marker);
    EXPECT_EQ(root[43], 0x06);
    if (!checkersPresent()) continue;
    Tolerated tolerated;
    tolerated.labelPadding = *p.label != '\0';
    tolerated.marker = p.markerText;
    checkVolume(b, 16384, p.start, label, "FAT12", tolerated, "-a");
    EXPECT_NE(lastListing.find(label), std::string::npos) << lastListing;
    EXPECT_NE(lastListing.find(p.markerText + 1), std::string::npos) << lastListing;
  }
  // A size of its own overrides the entry's.
  ASSERT_EQ(f.formatPartition(handle, 1, 3000, "SHORT", nullptr, 2), 0);
  EXPECT_EQ(volumeSectors(b.read(10240)), 3000u);
  EXPECT_EQ(f.formatPartition(handle, 4, -1, "X", nullptr, 0), 27);
  EXPECT_EQ(f.formatPartition(handle, 0, -1, "X", nullptr, 3), 27);
  EXPECT_EQ(f.formatPartition(handle, 2, -1, "X", nullptr, 0), 18) << "an empty entry";
}

TEST(FormatPartitionTest, FailingMarkerWriteIsReported) {
  Bench b(16384, false);
  CDeviceHandle handle(b.params);
  CFatFormatter f(b.nt);
  ASSERT_EQ(f.writePartitionTable(handle, 0), 0);
  Recorder notify;
  // Everything up to the root directory is written; then the marker sector fails.
  int writes = 0;
  notify.onEach = [&] {
    if (++writes == 2)
      b.drive.injectFaults(emu::FaultKind::CheckCondition, 1, emu::CCommandFilter::opcode(0x2A));
  };
  EXPECT_EQ(f.formatPartition(handle, 0, -1, "P", &notify, 0), 4);
  ASSERT_EQ(notify.errors.size(), 1u);
  EXPECT_EQ(notify.errors[0].first, 4);
  EXPECT_EQ(notify.errors[0].second, "Fail to format patition table");
  EXPECT_FALSE(f.isBusy());
}

}  // namespace
