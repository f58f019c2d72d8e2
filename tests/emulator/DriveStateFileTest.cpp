#include "emulator/DriveStateFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "TempDir.h"
#include "ZoneCommands.h"
#include "emulator/SectorStore.h"

namespace {

using namespace zone;
using emu::CDriveStateFile;
using emu::CEmulatedDrive;

constexpr uint32_t kSectors = 16384;  // 8 MB

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void overwrite(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

emu::DriveConfig config(bool removable) {
  emu::DriveConfig c;
  c.serial = "0F3B27005555";
  c.sectorCount = kSectors;
  c.removable = removable;
  c.allocationUnitSectors = 1024;
  c.unitFactorA = 16;
  c.unitFactorB = 16;
  return c;
}

class DriveStateFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<CEmulatedDrive> newDrive(bool removable) {
    return std::make_unique<CEmulatedDrive>(config(removable),
                                            emu::CSectorStore::openImage(image, kSectors, true));
  }
  tovik_test::TempDir dir;
  const std::string image = dir.file("drive.img");
  const std::string state = dir.file("drive.state");
};

TEST_F(DriveStateFileTest, ARemovableDriveComesBackAsItWasLeft) {
  {
    auto drive = newDrive(true);
    ASSERT_EQ(sendOut(*drive, 0x0041, removableConfigure(4, "secret")).status, 0);
    ASSERT_EQ(sendOut(*drive, 0x0042, removableSwitch("secret")).status, 0);
    ASSERT_EQ(writeSector(*drive, 5, pattern(7)).status, 0);  // in the safe partition
    Bytes block = readIn(*drive, 0x004A, 16);
    block[8] |= 0x02;  // write protected
    ASSERT_EQ(sendOut(*drive, 0x0049, block).status, 0);
    Bytes page = pattern(9);
    ASSERT_EQ(run(*drive, raw::cdb::vendor(0x0130, {3, 0}), page, false).status, 0);
    CDriveStateFile::saveDrive(state, *drive, image);
  }

  auto drive = CDriveStateFile::openDrive(state);
  EXPECT_EQ(drive->config().serial, "0F3B27005555");
  const Bytes record = readIn(*drive, 0x0040, 20);
  EXPECT_EQ(le(record, 8), 4u * 1024);  // safe sectors
  EXPECT_NE(le(record, 12), 0u);        // safe presented
  EXPECT_EQ(readSector(*drive, 5), pattern(7));
  EXPECT_EQ(readIn(*drive, 0x004A, 16)[8] & 0x02, 0x02);
  Bytes page(512);
  ASSERT_EQ(run(*drive, raw::cdb::vendor(0x0131, {3, 0, 0, 0, 0, 0}), page, true).status, 0);
  EXPECT_EQ(page, pattern(9));
  // The password came along: a wrong one is still refused, the right one works.
  ASSERT_EQ(sendOut(*drive, 0x0042, removableSwitch("")).status, 0);
  expectRefused(sendOut(*drive, 0x0042, removableSwitch("guess")));
  EXPECT_EQ(sendOut(*drive, 0x0042, removableSwitch("secret")).status, 0);
}

TEST_F(DriveStateFileTest, AFixedDiskKeepsItsSlotsAndLunMode) {
  emu::DriveState before;
  {
    auto drive = newDrive(false);
    ASSERT_EQ(sendOut(*drive, 0x0045, fixedConfigure(3, 2, "pin")).status, 0);
    ASSERT_EQ(sendOut(*drive, 0x004C, words({1, 1, 10, 10000})).status, 0);
    before = drive->state();
    CDriveStateFile::saveDrive(state, *drive, image);
  }
  const emu::DriveState after = CDriveStateFile::openDrive(state)->state();
  EXPECT_EQ(after.safeUnits, 3u);
  EXPECT_EQ(after.dummyUnits, 2u);
  EXPECT_EQ(after.lunMode, 1u);
  EXPECT_EQ(after.password, before.password);
  EXPECT_EQ(after.configBlock, before.configBlock);
  EXPECT_EQ(after.hiddenArea, before.hiddenArea);
}

TEST_F(DriveStateFileTest, BadFilesAreRefusedAndLeftAlone) {
  {
    auto drive = newDrive(true);
    CDriveStateFile::saveDrive(state, *drive, image);
  }
  const std::string good = contents(state);
  std::string flipped = good;
  flipped[good.find("serial=") + 7] = 'X';
  std::string noHeader = good;
  noHeader[0] = 'X';
  const struct {
    const char* what;
    std::string text;
    const char* says;
  } cases[] = {
      {"cut in half", good.substr(0, good.size() / 2), "truncated"},
      {"last line cut", good.substr(0, good.size() - 3), "truncated"},
      {"empty", "", "truncated"},
      {"a changed byte", flipped, "damaged"},
      {"another kind of file", noHeader, "damaged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    overwrite(state, c.text);
    try {
      CDriveStateFile::openDrive(state);
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(state), std::string::npos) << e.what();
    }
    EXPECT_EQ(contents(state), c.text);
  }
  EXPECT_THROW(CDriveStateFile::openDrive(dir.file("absent.state")), std::runtime_error);
}

TEST_F(DriveStateFileTest, AStateThatDoesNotFitOrAMissingImageIsRefused) {
  emu::SavedDrive saved;
  saved.config = config(true);
  saved.imagePath = image;
  saved.state = CEmulatedDrive(saved.config).state();
  {
    // The image does not exist yet.
    CDriveStateFile::save(state, saved);
    EXPECT_THROW(CDriveStateFile::openDrive(state), std::runtime_error);
  }
  emu::CSectorStore::openImage(image, kSectors, true);
  saved.state.safeUnits = kSectors;  // more safe space than the drive has
  CDriveStateFile::save(state, saved);
  EXPECT_THROW(CDriveStateFile::openDrive(state), std::runtime_error);
  saved.state.safeUnits = 0;
  CDriveStateFile::save(state, saved);
  EXPECT_NO_THROW(CDriveStateFile::openDrive(state));
}

TEST_F(DriveStateFileTest, SavingReplacesTheFileWhole) {
  auto drive = newDrive(true);
  CDriveStateFile::saveDrive(state, *drive, image);
  ASSERT_EQ(sendOut(*drive, 0x0041, removableConfigure(2, "pw")).status, 0);
  CDriveStateFile::saveDrive(state, *drive, image);
  EXPECT_FALSE(std::filesystem::exists(state + ".new"));
  EXPECT_EQ(CDriveStateFile::load(state).state.safeUnits, 2u);
  // A text that would break the line format is refused before anything is written.
  const std::string before = contents(state);
  emu::SavedDrive bad = CDriveStateFile::load(state);
  bad.config.product = "two\nlines";
  EXPECT_THROW(CDriveStateFile::save(state, bad), std::runtime_error);
  EXPECT_EQ(contents(state), before);
}

}  // namespace
