// Version resources of real files: this program's own (the numbers of
// Version.h), a fixture of 3.1.4.9 with texts of its own, and files without one.
#include "VersionInfo.h"

#include <gtest/gtest.h>

#include <fstream>

#include "DialogsTestSupport.h"
#include "Version.h"

namespace {
std::string Beside(const std::string& name) {
  std::string path = CVersionInfo::ProgramPath();
  return path.substr(0, path.rfind('\\') + 1) + name;
}
std::string Fixture() {
  const std::string name = shelltest::Env("TOVIK_VERSION_FIXTURE");
  return Beside(name.empty() ? "version_fixture.exe" : name);
}
}  // namespace

TEST(VersionInfo, TheProgramCarriesTheVersionOfVersionH) {
  const std::string program = CVersionInfo::ProgramPath();
  EXPECT_EQ(CVersionInfo::VersionText(program), TOVIK_VERSION_TEXT);
  CVersionInfo::Record record;
  ASSERT_TRUE(CVersionInfo::Read(program, record));
  EXPECT_EQ(record.product[0], TOVIK_VERSION_MAJOR);
  EXPECT_EQ(record.product[3], TOVIK_VERSION_REVISION);
  EXPECT_EQ(record.productVersion, TOVIK_VERSION_TEXT);
  EXPECT_EQ(record.fileVersion, TOVIK_VERSION_TEXT);
  EXPECT_EQ(record.productName, "Tovik Control Panel");
  EXPECT_EQ(record.originalFilename, "Tovik.exe");
}

TEST(VersionInfo, ProductVersionPacksIntoTwoWords) {
  uint32_t high = 0, low = 0;
  ASSERT_TRUE(CVersionInfo::PackedProductVersion(Fixture(), high, low)) << Fixture();
  EXPECT_EQ(high, 0x00030001u);
  EXPECT_EQ(low, 0x00040009u);
  EXPECT_EQ(CVersionInfo::VersionText(Fixture()), "3.1.4.9");
  CVersionInfo::Record record;
  ASSERT_TRUE(CVersionInfo::Read(Fixture(), record));
  const uint16_t file[4] = {2, 7, 1, 8};
  EXPECT_TRUE(std::equal(file, file + 4, record.file));
  // The texts are the block's own, not the numbers.
  EXPECT_EQ(record.productVersion, "3.1 (fixture)");
  EXPECT_EQ(record.fileVersion, "2.7 beta");
  EXPECT_EQ(record.originalFilename, "fixture.exe");
  EXPECT_EQ(record.productName, "");
  EXPECT_EQ(record.companyName, std::string(255, 'C'));
}

TEST(VersionInfo, FilesWithoutAVersionGiveNothing) {
  const std::string plain = dialogtest::OutFolder() + "\\plain.txt";
  std::ofstream(plain) << "no resources here";
  for (const std::string& path : {plain, Beside("no such program.exe"), std::string()}) {
    EXPECT_EQ(CVersionInfo::VersionText(path), "") << path;
    uint32_t high = 7, low = 7;
    EXPECT_FALSE(CVersionInfo::PackedProductVersion(path, high, low)) << path;
    CVersionInfo::Record record;
    EXPECT_FALSE(CVersionInfo::Read(path, record)) << path;
  }
  DeleteFileA(plain.c_str());
}
