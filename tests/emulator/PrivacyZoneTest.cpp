// What both kinds of drive share around the privacy zone: which sub-codes each
// kind answers, the hidden area and configuration block across layout changes,
// the not-ready window after a switch, and the detach sub-code.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "ZoneCommands.h"

namespace {

using emu::CEmulatedDrive;
using emu::DetachRequest;
using emu::DriveConfig;
using emu::ScsiResult;
using namespace zone;

DriveConfig driveOf(bool removable, uint32_t notReady = 0) {
  DriveConfig c;
  c.serial = "SN0003";
  c.removable = removable;
  c.sectorCount = 4096;
  c.allocationUnitSectors = 256;
  c.unitFactorA = 16;
  c.unitFactorB = 16;  // 16 units of 256 sectors
  c.notReadyCommandsAfterSwitch = notReady;
  return c;
}

// The commands that change the layout or the presented partition, per kind.
struct ZoneOps {
  uint16_t configure;
  Bytes configureBlock;
  uint16_t switchCode;
  Bytes enterBlock;
  Bytes leaveBlock;
};

ZoneOps opsFor(bool removable) {
  if (removable)
    return {0x0041, removableConfigure(4, "pw"), 0x0042, removableSwitch("pw"),
            removableSwitch("")};
  return {0x0045, fixedConfigure(4, 2, "pw"), 0x0046, fixedSwitch("pw"), fixedSwitch("", 0)};
}

// ---- which kind answers which sub-code ------------------------------------------------

struct KindCase {
  const char* name;
  uint16_t subCode;
  bool dataIn;
  uint32_t length;
  bool removableAnswers;
  bool fixedAnswers;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

const KindCase kKinds[] = {
    {"removableRecord", 0x0040, true, 20, true, false},
    {"removableSwitchToPublic", 0x0042, false, 16, true, false},
    {"fixedRecord", 0x0044, true, 28, false, true},
    {"fixedSwitchToDummy", 0x0046, false, 20, false, true},
    {"lunMode", 0x004D, true, 4, false, true},
    {"setLunMode", 0x004C, false, 16, false, true},
    {"detach", 0x0048, false, 12, true, true},
};

class SubCodeKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(SubCodeKinds, AnsweredOnlyByTheirKindOfDrive) {
  const KindCase& c = GetParam();
  for (const bool removable : {true, false}) {
    CEmulatedDrive drive(driveOf(removable));
    Bytes buffer(c.length, 0);
    const ScsiResult r = run(drive, raw::cdb::vendor(c.subCode), buffer, c.dataIn);
    const bool answers = removable ? c.removableAnswers : c.fixedAnswers;
    if (answers) {
      EXPECT_EQ(r.status, emu::kStatusGood) << "removable " << removable;
      EXPECT_EQ(r.transferred, c.length);
    } else {
      expectRefused(r, emu::kAscInvalidFieldInCdb);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Drive, SubCodeKinds, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<KindCase>& i) {
                           return std::string(i.param.name);
                         });

TEST(SubCodeLengths, ShortBlocksAreRefusedBeforeAnythingChanges) {
  struct Case {
    bool removable;
    uint16_t subCode;
    Bytes block;
  };
  const Case cases[] = {
      {true, 0x0041, Bytes(19, 1)},  {true, 0x0042, Bytes(15, 0)}, {false, 0x0045, Bytes(27, 0)},
      {false, 0x0046, Bytes(19, 0)}, {false, 0x0047, Bytes(7, 0)}, {false, 0x004C, Bytes(15, 0)},
      {true, 0x0048, Bytes(11, 0)},  {true, 0x004B, Bytes(39, 0)},
  };
  for (const Case& k : cases) {
    CEmulatedDrive drive(driveOf(k.removable));
    bool called = false;
    drive.setDetachHandler([&](const DetachRequest&) { called = true; });
    expectRefused(sendOut(drive, k.subCode, k.block), emu::kAscParameterLengthError);
    EXPECT_FALSE(called);
  }
}

// ---- state that no layout change touches ----------------------------------------------

class ZoneState : public ::testing::TestWithParam<bool> {};

TEST_P(ZoneState, HiddenAreaAndConfigBlockSurviveConfigureAndSwitch) {
  const bool removable = GetParam();
  CEmulatedDrive drive(driveOf(removable));
  std::vector<Bytes> pages;
  for (uint8_t page = 0; page < 32; ++page) {
    pages.push_back(pattern(uint8_t(page * 3)));
    Bytes data = pages.back();
    ASSERT_EQ(run(drive, raw::cdb::vendor(0x0130, {page, 0}), data, false).status,
              emu::kStatusGood);
  }
  Bytes config = pattern(77);
  config.resize(16);
  config[8] = 0x01;  // write protection off, so the switches below can be followed by writes
  ASSERT_EQ(sendOut(drive, 0x0049, config).status, emu::kStatusGood);

  const ZoneOps ops = opsFor(removable);
  ASSERT_EQ(sendOut(drive, ops.configure, ops.configureBlock).status, emu::kStatusGood);
  ASSERT_EQ(sendOut(drive, ops.switchCode, ops.enterBlock).status, emu::kStatusGood);
  ASSERT_EQ(writeSector(drive, 0, pattern(5)).status, emu::kStatusGood);
  ASSERT_EQ(sendOut(drive, ops.switchCode, ops.leaveBlock).status, emu::kStatusGood);
  ASSERT_EQ(sendOut(drive, ops.configure, ops.configureBlock).status, emu::kStatusGood);

  for (uint8_t page = 0; page < 32; ++page) {
    Bytes back(512, 0);
    ASSERT_EQ(run(drive, raw::cdb::vendor(0x0131, {page, 0, 0, 0, 0, 0}), back, true).status,
              emu::kStatusGood);
    EXPECT_EQ(back, pages[page]) << "page " << int(page);
  }
  EXPECT_EQ(readIn(drive, 0x004A, 16), config);
}

INSTANTIATE_TEST_SUITE_P(Drive, ZoneState, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return std::string(i.param ? "removable" : "fixed");
                         });

// A drive that rebuilds its tables on a re-layout erases its hidden pages
// then, and only then: a switch or a refused configure keeps them.
TEST_P(ZoneState, ClearingDriveErasesTheHiddenAreaOnAnAcceptedRelayoutOnly) {
  const bool removable = GetParam();
  DriveConfig config = driveOf(removable);
  config.clearHiddenOnRelayout = true;
  CEmulatedDrive drive(config);
  const auto fill = [&] {
    for (uint8_t page = 0; page < 32; ++page) {
      Bytes data = pattern(uint8_t(page + 1));
      ASSERT_EQ(run(drive, raw::cdb::vendor(0x0130, {page, 0}), data, false).status,
                emu::kStatusGood);
    }
  };
  const auto pagesAre = [&](bool erased) {
    for (uint8_t page = 0; page < 32; ++page) {
      Bytes back(512, 0);
      ASSERT_EQ(run(drive, raw::cdb::vendor(0x0131, {page, 0, 0, 0, 0, 0}), back, true).status,
                emu::kStatusGood);
      EXPECT_EQ(back, erased ? Bytes(512, 0xFF) : pattern(uint8_t(page + 1))) << int(page);
    }
  };
  const ZoneOps ops = opsFor(removable);
  fill();
  ASSERT_EQ(sendOut(drive, ops.configure, ops.configureBlock).status, emu::kStatusGood);
  pagesAre(true);

  fill();
  ASSERT_EQ(sendOut(drive, ops.switchCode, ops.enterBlock).status, emu::kStatusGood);
  ASSERT_EQ(sendOut(drive, ops.switchCode, ops.leaveBlock).status, emu::kStatusGood);
  Bytes refused = ops.configureBlock;
  putLe(refused, 0, 1000000);  // more safe units than the drive has
  EXPECT_NE(sendOut(drive, ops.configure, refused).status, emu::kStatusGood);
  pagesAre(false);
}

// ---- the not-ready window ----------------------------------------------------------

struct WindowCase {
  const char* name;
  bool removable;
  bool viaSwitch;  // else via configure
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

const WindowCase kWindows[] = {
    {"removableConfigure", true, false},
    {"removableSwitch", true, true},
    {"fixedConfigure", false, false},
    {"fixedSwitch", false, true},
};

void expectNotReady(const ScsiResult& r) {
  EXPECT_EQ(r.status, emu::kStatusCheckCondition);
  EXPECT_EQ(r.sense.key, emu::kSenseKeyNotReady);
  EXPECT_EQ(r.sense.asc, emu::kAscNotReady);
  EXPECT_EQ(r.sense.ascq, emu::kAscqBecomingReady);
  EXPECT_EQ(r.transferred, 0u);
}

class NotReadyWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(NotReadyWindow, CountsEveryCommandAndBlocksOnlyMediumAccess) {
  const WindowCase& c = GetParam();
  CEmulatedDrive drive(driveOf(c.removable, 4));
  const ZoneOps ops = opsFor(c.removable);
  if (c.viaSwitch) {
    ASSERT_EQ(sendOut(drive, ops.configure, ops.configureBlock).status, emu::kStatusGood);
    drive.setNotReady(0);
    ASSERT_EQ(sendOut(drive, ops.switchCode, ops.enterBlock).status, emu::kStatusGood);
  } else {
    ASSERT_EQ(sendOut(drive, ops.configure, ops.configureBlock).status, emu::kStatusGood);
  }
  Bytes capacity(8, 0xAA);
  Bytes sector(512, 0xAA);
  Bytes inquiry(36, 0);
  expectNotReady(run(drive, raw::cdb::readCapacity(), capacity, true));
  EXPECT_EQ(capacity, Bytes(8, 0xAA));
  // Commands that do not reach the medium are answered, and use up the window.
  EXPECT_EQ(run(drive, raw::cdb::inquiry(36), inquiry, true).status, emu::kStatusGood);
  expectNotReady(run(drive, raw::cdb::read10(0, 1), sector, true));
  expectNotReady(run(drive, raw::cdb::write10(0, 1), sector, false));
  EXPECT_EQ(sector, Bytes(512, 0xAA));
  EXPECT_EQ(drive.storedSectorCount(), c.removable ? 0u : 1u);  // the fixed disk's table only
  EXPECT_EQ(run(drive, raw::cdb::readCapacity(), capacity, true).status, emu::kStatusGood);
}

INSTANTIATE_TEST_SUITE_P(Drive, NotReadyWindow, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowCase>& i) {
                           return std::string(i.param.name);
                         });

TEST(NotReadyWindowRules, RefusedSwitchOpensNoWindowAndDefaultIsNone) {
  for (const bool removable : {true, false}) {
    CEmulatedDrive drive(driveOf(removable, 2));
    const ZoneOps ops = opsFor(removable);
    ASSERT_EQ(sendOut(drive, ops.configure, ops.configureBlock).status, emu::kStatusGood);
    drive.setNotReady(0);
    const Bytes wrong = removable ? removableSwitch("px") : fixedSwitch("px");
    expectRefused(sendOut(drive, ops.switchCode, wrong));
    Bytes capacity(8, 0);
    EXPECT_EQ(run(drive, raw::cdb::readCapacity(), capacity, true).status, emu::kStatusGood);

    CEmulatedDrive plain(driveOf(removable));
    ASSERT_EQ(sendOut(plain, ops.configure, ops.configureBlock).status, emu::kStatusGood);
    ASSERT_EQ(sendOut(plain, ops.switchCode, ops.enterBlock).status, emu::kStatusGood);
    EXPECT_EQ(run(plain, raw::cdb::readCapacity(), capacity, true).status, emu::kStatusGood);
  }
}

// ---- detach ----------------------------------------------------------------------------

// The host follows what the drive presents: told once per command that
// changed it (configure, switch either way, write protection), and with the
// new state already in place; a refused switch or a plain read tells nothing.
TEST(Presentation, HandlerIsToldOfEachChangeOfWhatTheDrivePresents) {
  for (const bool removable : {true, false}) {
    SCOPED_TRACE(removable ? "removable" : "fixed disk");
    CEmulatedDrive drive(driveOf(removable));
    const ZoneOps ops = opsFor(removable);
    std::vector<bool> safeSeen;
    drive.setPresentationHandler([&] { safeSeen.push_back(drive.state().safePresented); });
    ASSERT_EQ(sendOut(drive, ops.configure, ops.configureBlock).status, emu::kStatusGood);
    ASSERT_EQ(safeSeen.size(), 1u) << "configure";
    sendOut(drive, ops.switchCode, removable ? removableSwitch("no") : fixedSwitch("no"));
    EXPECT_EQ(safeSeen.size(), 1u) << "a refused switch";
    ASSERT_EQ(sendOut(drive, ops.switchCode, ops.enterBlock).status, emu::kStatusGood);
    ASSERT_EQ(sendOut(drive, ops.switchCode, ops.leaveBlock).status, emu::kStatusGood);
    EXPECT_EQ(safeSeen, (std::vector<bool>{false, true, false}));
    lastLba(drive);
    EXPECT_EQ(safeSeen.size(), 3u) << "a read capacity";
    // Write protection, through the configuration block.
    Bytes config(CEmulatedDrive::kConfigBlockLength);
    ASSERT_EQ(run(drive, raw::cdb::vendor(CEmulatedDrive::kSubCodeConfigRead), config, true).status,
              emu::kStatusGood);
    config[CEmulatedDrive::kConfigPresentationOffset] |= CEmulatedDrive::kConfigWriteProtectBit;
    ASSERT_EQ(sendOut(drive, CEmulatedDrive::kSubCodeConfigWrite, config).status, emu::kStatusGood);
    EXPECT_EQ(safeSeen.size(), 4u) << "write protection";
    ASSERT_EQ(sendOut(drive, CEmulatedDrive::kSubCodeConfigWrite, config).status, emu::kStatusGood);
    EXPECT_EQ(safeSeen.size(), 4u) << "the same block again";
  }
}

TEST(Detach, HandlerGetsTheThreeWordsAfterTheAnswer) {
  for (const bool removable : {true, false}) {
    CEmulatedDrive drive(driveOf(removable));
    std::vector<DetachRequest> seen;
    size_t loggedBeforeCall = 0;
    drive.setDetachHandler([&](const DetachRequest& r) {
      seen.push_back(r);
      loggedBeforeCall = drive.commandLog().size();  // needs the drive's lock
    });
    for (const uint32_t boot : {1u, 0u}) {
      const ScsiResult r = sendOut(drive, 0x0048, words({1000, 40000, boot}));
      EXPECT_EQ(r.status, emu::kStatusGood);
      EXPECT_EQ(r.transferred, 12u);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, 1000u);
    EXPECT_EQ(seen[0].second, 40000u);
    EXPECT_EQ(seen[0].bootFlag, 1u);
    EXPECT_EQ(seen[1].bootFlag, 0u);
    EXPECT_EQ(loggedBeforeCall, 2u);  // the detach itself was already answered and logged
  }
}

TEST(Detach, HandlerMaySendTheDriveCommands) {
  CEmulatedDrive drive(driveOf(true));
  std::atomic<int> calls{0};
  uint32_t capacitySeen = 0;
  drive.setDetachHandler([&](const DetachRequest&) {
    if (calls++ > 0) return;
    capacitySeen = lastLba(drive);
    // A second detach from inside the handler reaches it once more, not recursively stuck.
    EXPECT_EQ(sendOut(drive, 0x0048, words({1000, 40000, 0})).status, emu::kStatusGood);
    drive.setDetachHandler(nullptr);
  });
  EXPECT_EQ(sendOut(drive, 0x0048, words({1000, 40000, 1})).status, emu::kStatusGood);
  EXPECT_EQ(calls.load(), 2);
  EXPECT_EQ(capacitySeen, 4095u);
  // Without a handler the sub-code is still answered.
  EXPECT_EQ(sendOut(drive, 0x0048, words({1000, 40000, 1})).status, emu::kStatusGood);
  EXPECT_EQ(calls.load(), 2);
}

}  // namespace
