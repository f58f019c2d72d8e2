// pdkregclean.exe end to end: a real process of the test's Wine prefix, told
// the same Windows version as this program (its copy "pdkregclean_<version>.exe"),
// against the chain the system leaves for a drive.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "DriveChain.h"
#include "RegistryExport.h"
#include "TestProcess.h"
#include "TestRegistry.h"
#include "regcleaner/PDKRegObject.h"

namespace {

std::string program(const char* version) {
  return "\"" + programFolder() + "pdkregclean_" + version + ".exe\"";
}

std::string ownVersion() {
  const char* version = std::getenv("TOVIK_WINE_VERSION");
  return version != nullptr ? version : "";
}

bool hasLine(const std::string& output, const std::string& line) {
  return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

class PdkRegCleanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mode = CPDKRegObject::systemMode();
    ASSERT_TRUE(mode == 0 || mode == 1) << "run this program as Windows 2000 or XP";
    ASSERT_FALSE(ownVersion().empty());
    drive.write(registry, mode);
    other.write(registry, mode);
  }

  ProcessResult run(const std::string& arguments, const std::string& input = "",
                    const std::string& directory = "") {
    return runProcess(program(ownVersion().c_str()) + " " + arguments, input, directory);
  }

  std::set<std::string> driveKeys() const {
    return exportNames(std::set<std::string>(drive.keys.begin(), drive.keys.end()));
  }

  int mode = 255;
  TestRegistry registry;
  DriveChain drive = makerDrive("0F3B27000042", "Pid_0010", 1);
  DriveChain other = otherVendorDrive(9);
};

TEST_F(PdkRegCleanTest, TheReportShowsTheDriveAndChecksItsStrings) {
  // Without "PDKReg.ini" the built-in strings are expected: the USBSTOR
  // hardware id carries the drive's revision and so differs.
  const ProcessResult plain = run("/report " + drive.serial);
  ASSERT_TRUE(plain.started);
  EXPECT_EQ(plain.exitCode, 2u) << plain.output;
  EXPECT_TRUE(hasLine(plain.output,
                      "# Registry Information for PDK  Serial Number: 0F3B27000042, "
                      "Vendor: Vantrel, Version 2.70"))
      << plain.output;
  EXPECT_TRUE(hasLine(plain.output, "FriendlyName = Vantrel Plunda USB Device")) << plain.output;
  EXPECT_TRUE(hasLine(plain.output,
                      "Registry String Mismatch. Correct: USBSTOR\\DiskVantrel_Plunda__________ "
                      "Current: USBSTOR\\DiskVantrel_Plunda__________2.70"))
      << plain.output;

  // With the drive's strings in "PDKReg.ini" of the working directory all match.
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof(temp), temp);
  const std::string folder = std::string(temp) + "pdkregclean-run";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream(folder + "\\PDKReg.ini")
      << "[Vendor Vantrel]\r\nUSBSTORHardwareId=USBSTOR\\DiskVantrel_Plunda__________2.70\r\n";
  const ProcessResult checked = run("", "", folder);
  DeleteFileA((folder + "\\PDKReg.ini").c_str());
  RemoveDirectoryA(folder.c_str());
  EXPECT_EQ(checked.exitCode, 0u) << checked.output;
  EXPECT_TRUE(hasLine(checked.output, "[Checking Serial Number 0F3B27000042]")) << checked.output;
  EXPECT_TRUE(hasLine(checked.output, "All registry strings are as expected.")) << checked.output;
  EXPECT_EQ(checked.output.find("ORV"), std::string::npos) << checked.output;
}

TEST_F(PdkRegCleanTest, CleaningIsADryRunUntilTheUserConfirms) {
  const RegistryExport before = RegistryExport::take();
  const ProcessResult dry = run("/clean " + drive.serial);
  EXPECT_EQ(dry.exitCode, 0u) << dry.output;
  EXPECT_TRUE(hasLine(dry.output, "Would delete " + drive.keys.front())) << dry.output;
  const ProcessResult refused = run("/clean " + drive.serial + " /delete", "n\n");
  EXPECT_EQ(refused.exitCode, 4u) << refused.output;
  // The answer comes from a pipe, so no echo ends the question's line.
  EXPECT_TRUE(hasLine(refused.output,
                      "Delete the registry entries listed above? (y/n) Nothing was deleted."))
      << refused.output;
  const RegistryExport unchanged = RegistryExport::take();
  EXPECT_TRUE(before.removedKeys(unchanged).empty());
  EXPECT_TRUE(before.added(unchanged).empty());

  const ProcessResult confirmed = run("/clean " + drive.serial + " /delete", "y\n");
  EXPECT_EQ(confirmed.exitCode, 0u) << confirmed.output;
  EXPECT_TRUE(hasLine(confirmed.output, "Cleaned.")) << confirmed.output;
  const RegistryExport after = RegistryExport::take();
  std::set<std::string> expected = driveKeys();
  expected.insert(*exportNames({kEnum + "USBSTOR\\" + drive.diskName}).begin());
  EXPECT_EQ(before.removedKeys(after), expected);
  EXPECT_TRUE(before.added(after).empty());
}

TEST_F(PdkRegCleanTest, CleaningAllLeavesOnlyOtherMakersDrives) {
  const RegistryExport before = RegistryExport::take();
  const ProcessResult all = run("/clean ALL /delete /yes");
  EXPECT_EQ(all.exitCode, 0u) << all.output;
  const RegistryExport after = RegistryExport::take();
  for (const std::string& key : driveKeys()) EXPECT_EQ(after.keys.count(key), 0u) << key;
  for (const std::string& key :
       exportNames(std::set<std::string>(other.keys.begin(), other.keys.end()))) {
    EXPECT_EQ(after.keys.count(key), 1u) << key;
  }
  EXPECT_TRUE(before.added(after).empty());
}

TEST_F(PdkRegCleanTest, OtherSystemsThanWindows2000AndXPAreRefused) {
  const RegistryExport before = RegistryExport::take();
  const ProcessResult refused =
      runProcess(program("win7") + " /clean " + drive.serial + " /delete /yes");
  ASSERT_TRUE(refused.started);
  EXPECT_EQ(refused.exitCode, 3u) << refused.output;
  EXPECT_TRUE(
      hasLine(refused.output, "Cleaning the registry is possible only on Windows 2000 and XP."))
      << refused.output;
  const RegistryExport after = RegistryExport::take();
  EXPECT_TRUE(before.removedKeys(after).empty());
  EXPECT_TRUE(before.added(after).empty());
}

TEST_F(PdkRegCleanTest, AWrongCommandLineShowsTheUsage) {
  const ProcessResult wrong = run("/clean " + drive.serial + " /now");
  EXPECT_EQ(wrong.exitCode, 1u);
  EXPECT_NE(wrong.output.find("Usage: pdkregclean"), std::string::npos) << wrong.output;
}

}  // namespace
