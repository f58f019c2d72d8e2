// The cleaner against the registry chain Windows 2000 or XP (the version Wine
// reports to this program) leaves for a drive, judged by the registry editor's
// exports before and after.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

#include "DriveChain.h"
#include "RecordingSink.h"
#include "RegistryExport.h"
#include "TestRegistry.h"
#include "regcleaner/PDKRegFactory.h"
#include "regcleaner/PDKRegObject.h"

namespace {

std::set<std::string> chainKeys(const std::vector<DriveChain>& drives) {
  std::set<std::string> keys;
  for (const DriveChain& drive : drives) keys.insert(drive.keys.begin(), drive.keys.end());
  return exportNames(keys);
}

std::set<std::string> mountedValues(const std::vector<DriveChain>& drives) {
  std::set<std::string> values;
  for (const DriveChain& drive : drives) {
    for (const std::string& name : drive.mountedValues) values.insert(kMounted + "|" + name);
  }
  return exportNames(values);
}

std::string makerDisk() { return kEnum + "USBSTOR\\Disk&Ven_Vantrel&Prod_Plunda&Rev_2.70"; }

class RegCleanerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mode = CPDKRegObject::systemMode();
    ASSERT_TRUE(mode == 0 || mode == 1) << "run this program as Windows 2000 or XP";
    other.write(registry, mode);
    cleaner->attachLogSink(&sink);
  }

  DriveChain addMaker(const std::string& serial, const std::string& pid, int number) {
    DriveChain drive = makerDrive(serial, pid, number);
    drive.write(registry, mode);
    return drive;
  }

  int mode = 255;
  TestRegistry registry;
  DriveChain other = otherVendorDrive(9);
  std::unique_ptr<IPDKRegCleaner> cleaner = CPDKRegFactory::instance().createRegCleaner();
  RecordingSink sink;
};

TEST(RegSystemModeTest, TheModeIsTheOneOfTheVersionWineReports) {
  const char* expected = std::getenv("TOVIK_EXPECT_REGMODE");
  ASSERT_NE(expected, nullptr);
  EXPECT_EQ(CPDKRegObject::systemMode(), std::atoi(expected));
}

TEST(RegResultCodeTest, SystemErrorsMapToTheCleanersCodes) {
  const struct {
    long error;
    int code;
  } cases[] = {{0, 0}, {1, 3}, {2, 3}, {5, 4}, {234, 1}, {259, 5}, {6, 7}, {1018, 7}};
  for (const auto& c : cases) EXPECT_EQ(CPDKRegObject::resultCode(c.error), c.code) << c.error;
}

TEST_F(RegCleanerTest, CleanSerialRemovesExactlyThatDrivesChain) {
  const DriveChain first = addMaker("0F3B27000042", "Pid_0010", 1);
  const DriveChain second = addMaker("0F3B27000043", "Pid_0011", 2);
  const RegistryExport before = RegistryExport::take();

  EXPECT_EQ(cleaner->cleanSerial(first.serial.c_str()), 0);
  EXPECT_EQ(cleaner->errorAt(0), nullptr);
  const RegistryExport middle = RegistryExport::take();
  EXPECT_EQ(before.removedKeys(middle), chainKeys({first}));
  EXPECT_EQ(before.removedValues(middle), mountedValues({first}));
  EXPECT_TRUE(before.added(middle).empty());
  EXPECT_NE(std::find(sink.lines.begin(), sink.lines.end(),
                      "2 [Cleaning Serial Number " + first.serial + "]"),
            sink.lines.end());

  // The last drive of a disk key takes the emptied disk key with it.
  EXPECT_EQ(cleaner->cleanSerial(second.serial.c_str()), 0);
  const RegistryExport after = RegistryExport::take();
  std::set<std::string> expected = chainKeys({second});
  expected.insert(*exportNames({makerDisk()}).begin());
  EXPECT_EQ(middle.removedKeys(after), expected);
  EXPECT_EQ(middle.removedValues(after), mountedValues({second}));
  EXPECT_TRUE(middle.added(after).empty());
}

TEST_F(RegCleanerTest, ASerialWithoutUsbInstanceRecordsOneOpenKeyAndChangesNothing) {
  addMaker("0F3B27000042", "Pid_0010", 1);
  const RegistryExport before = RegistryExport::take();
  EXPECT_EQ(cleaner->cleanSerial("0F3B27000099"), 3);
  ASSERT_NE(cleaner->errorAt(0), nullptr);
  EXPECT_EQ(cleaner->errorAt(0)->operation, "OpenKey");
  EXPECT_EQ(cleaner->errorAt(0)->code, 3);
  EXPECT_NE(cleaner->errorAt(0)->keyName.find("0F3B27000099"), std::string::npos);
  EXPECT_EQ(cleaner->errorAt(1), nullptr);
  const RegistryExport after = RegistryExport::take();
  EXPECT_TRUE(before.removedKeys(after).empty());
  EXPECT_TRUE(before.removedValues(after).empty());
  EXPECT_TRUE(before.added(after).empty());
}

TEST_F(RegCleanerTest, CleanAllCleansEveryStaleInstanceAlthoughEachDeletionShiftsTheRest) {
  const std::vector<DriveChain> drives = {addMaker("0F3B27000042", "Pid_0010", 1),
                                          addMaker("0F3B27000043", "Pid_0010", 2),
                                          addMaker("0F3B27000044", "Pid_0010", 3)};
  const RegistryExport before = RegistryExport::take();
  EXPECT_EQ(cleaner->cleanAll(), 0);
  EXPECT_EQ(cleaner->errorAt(0), nullptr) << cleaner->errorAt(0)->keyName;
  const RegistryExport after = RegistryExport::take();
  std::set<std::string> expected = chainKeys(drives);
  for (const std::string& key : exportNames({makerDisk(), kEnum + "USB\\Vid_0f3b&Pid_0010"})) {
    expected.insert(key);
  }
  EXPECT_EQ(before.removedKeys(after), expected);
  EXPECT_EQ(before.removedValues(after), mountedValues(drives));
  EXPECT_TRUE(before.added(after).empty());
}

TEST_F(RegCleanerTest, TheDryRunChangesNothingAndReportsWhatItWouldDelete) {
  const DriveChain drive = addMaker("0F3B27000042", "Pid_0010", 1);
  const RegistryExport before = RegistryExport::take();
  cleaner->setDryRun(true);
  EXPECT_EQ(cleaner->cleanSerial(drive.serial.c_str()), 0);
  EXPECT_EQ(cleaner->cleanAll(), 0);
  const RegistryExport after = RegistryExport::take();
  EXPECT_TRUE(before.removedKeys(after).empty());
  EXPECT_TRUE(before.removedValues(after).empty());
  EXPECT_TRUE(before.added(after).empty());

  // Every tree of the chain is named once by its top key, and the medium's values.
  std::set<std::string> reported;
  for (const std::string& line : sink.lines) {
    if (line.compare(0, 15, "3 Would delete ") == 0) reported.insert(line.substr(15));
  }
  std::set<std::string> expected;
  for (const std::string& key : drive.keys) {
    if (key.find("\\Device Parameters") == std::string::npos && key.back() != '#') {
      expected.insert(key);
    }
  }
  for (const std::string& value : drive.mountedValues) {
    expected.insert("value " + value + " of " + kMounted);
  }
  // cleanAll adds the trees it would take whole.
  expected.insert(makerDisk());
  expected.insert(kEnum + "USB\\Vid_0f3b&Pid_0010");
  EXPECT_EQ(reported, expected);
}

TEST_F(RegCleanerTest, SweepOrphansRemovesWhatLostItsDeviceAndKeepsTheRest) {
  const DriveChain kept = addMaker("0F3B27000042", "Pid_0010", 1);
  // A drive whose USB instance is gone already: the rest of its chain, the
  // USB interface entry and the USB driver key included, is left over.
  const DriveChain halfGone = addMaker("0F3B27000043", "Pid_0010", 2);
  const std::string usbInstance = kEnum + "USB\\Vid_0f3b&Pid_0010\\" + halfGone.serial;
  ASSERT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, usbInstance.c_str()), ERROR_SUCCESS);
  // Left-overs of devices long gone: a driver key, a USB interface entry and a
  // volume interface entry whose instances no longer exist, and a volume of a
  // fixed disk no letter records any more.
  const std::string orphanDriver = kClass + "{36FC9E60-C465-11CF-8056-444553540000}\\0077";
  registry.text(orphanDriver, "MatchingDeviceId", "usb\\class_08&subclass_06&prot_50");
  const std::string orphanUsbInterface =
      kDeviceClasses +
      "{a5dcbf10-6530-11d2-901f-00c04fb951ed}\\##?#USB#Vid_0f3b&Pid_0011#0F3B27000077#{a5dcbf10-"
      "6530-11d2-901f-00c04fb951ed}";
  registry.text(orphanUsbInterface, "DeviceInstance", "USB\\Vid_0f3b&Pid_0011\\0F3B27000077");
  const std::string orphanMediaInterface =
      kDeviceClasses +
      "{53f5630a-b6bf-11d0-94f2-00a0c91efb8b}\\##?#STORAGE#RemovableMedia#8&3c4d0077&0&RM#{"
      "53f5630a-b6bf-11d0-94f2-00a0c91efb8b}";
  registry.text(orphanMediaInterface, "DeviceInstance", "STORAGE\\RemovableMedia\\8&3c4d0077&0&RM");
  const std::string volumeId = "1&30a96598&0&Signature5A0C2E07Offset7E00Length3B9B2A00";
  const std::string orphanVolume = kEnum + "STORAGE\\Volume\\" + volumeId;
  registry.text(orphanVolume, "Class", "Volume");
  const std::string orphanVolumeInterface =
      kDeviceClasses + "{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}\\##?#STORAGE#Volume#" + volumeId +
      "#{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";
  registry.text(orphanVolumeInterface, "DeviceInstance", "STORAGE\\Volume\\" + volumeId);
  // A volume whose partition a letter still records stays.
  const std::string recordedId = "1&30a96598&0&Signature11223344Offset7E00Length100000";
  registry.text(kEnum + "STORAGE\\Volume\\" + recordedId, "Class", "Volume");
  registry.binary(kMounted, "\\DosDevices\\R:",
                  std::string("\x44\x33\x22\x11\x00\x7E\x00\x00\x00\x00\x00\x00", 12));
  // An interface entry of a volume gone, with its own instance named.
  const std::string deadVolumeInterface =
      kDeviceClasses +
      "{53f5630d-b6bf-11d0-94f2-00a0c91efb8b}\\##?#STORAGE#Volume#1&30a96598&0&Signature99#{"
      "53f5630d-b6bf-11d0-94f2-00a0c91efb8b}";
  registry.text(deadVolumeInterface, "DeviceInstance", "STORAGE\\Volume\\1&30a96598&0&Signature99");

  const RegistryExport before = RegistryExport::take();
  EXPECT_EQ(cleaner->sweepOrphans(), 0);
  const RegistryExport after = RegistryExport::take();

  std::set<std::string> expected;
  for (const std::string& key : halfGone.keys) {
    if (key.compare(0, usbInstance.size(), usbInstance) != 0) expected.insert(key);
  }
  for (const std::string& key : {orphanDriver, orphanUsbInterface, orphanMediaInterface,
                                 orphanVolume, orphanVolumeInterface, deadVolumeInterface}) {
    expected.insert(key);
  }
  EXPECT_EQ(before.removedKeys(after), exportNames(expected));
  EXPECT_EQ(before.removedValues(after), mountedValues({halfGone}));
  EXPECT_TRUE(before.added(after).empty());
  // The other maker's drive and the maker's registered drive are all there.
  for (const std::string& key :
       exportNames(std::set<std::string>(kept.keys.begin(), kept.keys.end()))) {
    EXPECT_EQ(after.keys.count(key), 1u) << key;
  }
  for (const std::string& key :
       exportNames(std::set<std::string>(other.keys.begin(), other.keys.end()))) {
    EXPECT_EQ(after.keys.count(key), 1u) << key;
  }
}

}  // namespace

namespace {

// This program run as a later Windows: the registry layout there is not the
// one the cleaner knows, so it deletes nothing and reads only the USB strings.
TEST(RegOtherSystemTest, NothingIsCleanedAndOnlyTheUsbStringsAreRead) {
  if (CPDKRegObject::systemMode() != 255) GTEST_SKIP() << "for systems other than 2000 and XP";
  TestRegistry registry;
  DriveChain drive = makerDrive("0F3B27000042", "Pid_0010", 1);
  drive.write(registry, 1);
  const RegistryExport before = RegistryExport::take();
  std::unique_ptr<IPDKRegCleaner> cleaner = CPDKRegFactory::instance().createRegCleaner();
  RecordingSink sink;
  cleaner->attachLogSink(&sink);
  EXPECT_EQ(cleaner->cleanSerial(drive.serial.c_str()), 7);
  EXPECT_EQ(cleaner->cleanAll(), 7);
  EXPECT_EQ(cleaner->sweepOrphans(), 7);
  EXPECT_EQ(sink.lines,
            std::vector<std::string>(3, "1 Registry cleaning runs only on Windows 2000 and XP"));
  const RegistryExport after = RegistryExport::take();
  EXPECT_TRUE(before.removedKeys(after).empty());
  EXPECT_TRUE(before.removedValues(after).empty());

  RegInfoContainer found;
  EXPECT_EQ(CPDKRegFactory::instance().createRegInfo()->readInfo(drive.serial.c_str(), found), 0);
  EXPECT_STREQ(found.usbLocationInfo(), "Plunda");
  EXPECT_STREQ(found.usbstorFriendlyName(), "");
  EXPECT_STREQ(found.vendor(), "");
}

}  // namespace
