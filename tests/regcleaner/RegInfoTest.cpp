// The reader of a drive's registry strings, its report and its checks, against
// the chain Windows 2000 or XP leaves for the drive.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <memory>

#include "DebugOutput.h"
#include "DriveChain.h"
#include "RecordingSink.h"
#include "TestRegistry.h"
#include "regcleaner/PDKRegFactory.h"
#include "regcleaner/PDKRegObject.h"

namespace {

class RegInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mode = CPDKRegObject::systemMode();
    ASSERT_TRUE(mode == 0 || mode == 1) << "run this program as Windows 2000 or XP";
    drive.write(registry, mode);
    otherVendorDrive(9).write(registry, mode);
    info->attachLogSink(&sink);
  }

  int mode = 255;
  TestRegistry registry;
  DriveChain drive = makerDrive("0F3B27000042", "Pid_0010", 1);
  std::unique_ptr<IPDKRegInfo> info = CPDKRegFactory::instance().createRegInfo();
  RecordingSink sink;
};

// A container holding exactly the expected strings.
RegInfoContainer expectedStrings() {
  RegInfoContainer info;
  info.set(RegInfoContainer::kUsbDeviceDesc, "USB Mass Storage Device");
  info.set(RegInfoContainer::kUsbHardwareId, "USB\\Vid_0f3b&Pid_0010&Rev_0200");
  info.set(RegInfoContainer::kUsbLocationInfo, "Plunda");
  info.set(RegInfoContainer::kUsbService, "USBSTOR");
  info.set(RegInfoContainer::kUsbstorDeviceDesc, "Disk drive");
  info.set(RegInfoContainer::kUsbstorHardwareId, "USBSTOR\\DiskVantrel_Plunda__________");
  info.set(RegInfoContainer::kUsbstorFriendlyName, "Vantrel Plunda USB Device");
  info.set(RegInfoContainer::kUsbstorService, "disk");
  return info;
}

// Runs a test in a folder of its own as the current directory.
class CurrentFolder {
 public:
  CurrentFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    GetCurrentDirectoryA(sizeof(m_previous), m_previous);
    m_folder = std::string(temp) + "regcleaner-ini";
    CreateDirectoryA(m_folder.c_str(), nullptr);
    DeleteFileA((m_folder + "\\PDKReg.ini").c_str());
    SetCurrentDirectoryA(m_folder.c_str());
  }
  ~CurrentFolder() {
    SetCurrentDirectoryA(m_previous);
    DeleteFileA((m_folder + "\\PDKReg.ini").c_str());
    RemoveDirectoryA(m_folder.c_str());
  }
  void writeIni(const std::string& text) { std::ofstream(m_folder + "\\PDKReg.ini") << text; }

 private:
  char m_previous[MAX_PATH] = {};
  std::string m_folder;
};

TEST_F(RegInfoTest, ReadInfoFillsTheContainerAndWritesTheReport) {
  RegInfoContainer found;
  std::string report;
  EXPECT_EQ(info->readInfo(drive.serial.c_str(), found, report), 0);
  EXPECT_EQ(report,
            "# Registry Information for PDK  Serial Number: 0F3B27000042, Vendor: Vantrel, "
            "Version 2.70\n\n"
            "[USB Keys]\n"
            "DeviceDesc = USB Mass Storage Device\n"
            "HardwareID = USB\\Vid_0f3b&Pid_0010&Rev_0200\n"
            "LocationInfo = Plunda\n"
            "Service = USBSTOR\n"
            "[USBSTOR Keys]\n"
            "DeviceDesc = Disk drive\n"
            "HardwareID = USBSTOR\\DiskVantrel_Plunda__________2.70\n"
            "FriendlyName = Vantrel Plunda USB Device\n"
            "Service = disk\n"
            "[Removable Media Keys]\n"
            "DeviceDesc = Generic volume\n"
            "HardwareID = STORAGE\\Volume\n");
  EXPECT_STREQ(found.serialNumber(), "0F3B27000042");
  EXPECT_STREQ(found.vendor(), "Vantrel");
  EXPECT_STREQ(found.version(), "2.70");
}

TEST_F(RegInfoTest, TheReportListsEachFailureWithKeyValueAndText) {
  // The drive's medium is gone: its strings stay empty and the failure is listed.
  const std::string media = kEnum + "STORAGE\\RemovableMedia\\" + drive.mediaId;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, media.c_str(), 0, KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  RegDeleteValueA(key, "DeviceDesc");
  RegCloseKey(key);
  RegInfoContainer found;
  std::string report;
  EXPECT_EQ(info->readInfo(drive.serial.c_str(), found, report), 3);
  EXPECT_NE(report.find("[Removable Media Keys]\nDeviceDesc = \nHardwareID = STORAGE\\Volume\n"
                        "\tKeyName: " +
                        media +
                        "\n"
                        "\tValue: DeviceDesc\n"
                        "\tErrorStr: QueryValue failed, code 3\n"),
            std::string::npos)
      << report;

  std::string missing;
  EXPECT_EQ(info->readInfo("0F3B27000099", found, missing), 3);
  EXPECT_NE(missing.find("\tKeyName: SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0f3b&Pid_0011\\"
                         "0F3B27000099\n\tValue: \n\tErrorStr: OpenKey failed, code 3\n"),
            std::string::npos)
      << missing;
}

TEST_F(RegInfoTest, CollectReportsEveryDriveOfTheMakerAndNoOther) {
  DriveChain second = makerDrive("0F3B27000043", "Pid_0011", 2);
  second.write(registry, mode);
  std::vector<RegInfoContainer> drives;
  std::string report;
  EXPECT_EQ(info->collect(drives, report), 0);
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_STREQ(drives[0].serialNumber(), "0F3B27000042");
  EXPECT_STREQ(drives[1].serialNumber(), "0F3B27000043");
  EXPECT_STREQ(drives[1].usbHardwareId(), "USB\\Vid_0f3b&Pid_0011&Rev_0200");
  EXPECT_NE(report.find("Serial Number: 0F3B27000042,"), std::string::npos);
  EXPECT_NE(report.find("Serial Number: 0F3B27000043,"), std::string::npos);
  EXPECT_EQ(report.find("ORV"), std::string::npos);
}

TEST_F(RegInfoTest, TheReportAlsoListsTheFailuresOfAnAttachedCleanerOnce) {
  std::unique_ptr<IPDKRegCleaner> cleaner = CPDKRegFactory::instance().createRegCleaner();
  cleaner->cleanSerial("0F3B27000098");  // met before attaching: not this report's
  info->attachCleaner(cleaner.get());
  cleaner->cleanSerial("0F3B27000099");
  RegInfoContainer found;
  std::string report;
  EXPECT_EQ(info->readInfo(drive.serial.c_str(), found, report), 0);
  const std::string failure =
      "\tKeyName: SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0f3b&Pid_0011\\0F3B27000099\n"
      "\tValue: \n\tErrorStr: OpenKey failed, code 3\n";
  EXPECT_EQ(report.substr(report.size() - failure.size()), failure);
  EXPECT_EQ(report.find("0F3B27000098"), std::string::npos);
  std::string again;
  info->readInfo(drive.serial.c_str(), found, again);
  EXPECT_EQ(again.find("\tKeyName"), std::string::npos) << again;
}

TEST_F(RegInfoTest, AKeptSerialIsReadWhenNoneIsGiven) {
  info->setSerial(drive.serial.c_str());
  RegInfoContainer found;
  EXPECT_EQ(info->readInfo(nullptr, found), 0);
  EXPECT_STREQ(found.usbstorFriendlyName(), "Vantrel Plunda USB Device");
}

TEST(RegInfoStringsTest, WithoutPDKRegIniTheBuiltInStringsAreExpected) {
  CurrentFolder folder;
  std::unique_ptr<IPDKRegInfo> info = CPDKRegFactory::instance().createRegInfo();
  RecordingSink sink;
  info->attachLogSink(&sink);
  EXPECT_TRUE(info->checkStrings(expectedStrings(), nullptr, "Vantrel"));
  EXPECT_TRUE(sink.lines.empty());

  const struct {
    RegInfoContainer::Field field;
    const char* current;
    const char* message;
  } cases[] = {
      {RegInfoContainer::kUsbLocationInfo, "Ravel",
       "1 Registry String Mismatch. Correct: Plunda Current: Ravel"},
      {RegInfoContainer::kUsbstorHardwareId, "USBSTOR\\DiskVantrel_Plunda__________2.70",
       "1 Registry String Mismatch. Correct: USBSTOR\\DiskVantrel_Plunda__________ Current: "
       "USBSTOR\\DiskVantrel_Plunda__________2.70"},
      {RegInfoContainer::kUsbstorService, "",
       "1 Registry String Mismatch. Correct: disk Current: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    RegInfoContainer found = expectedStrings();
    found.set(c.field, c.current);
    sink.lines.clear();
    EXPECT_FALSE(info->checkStrings(found, nullptr, "Vantrel"));
    EXPECT_EQ(sink.lines, std::vector<std::string>{c.message});
  }
}

TEST(RegInfoStringsTest, PDKRegIniOfTheCurrentDirectoryNamesTheStringsPerVendor) {
  CurrentFolder folder;
  folder.writeIni(
      "[Vendor Vantrel]\r\nUSBLocationInfo=Ravel\r\n"
      "USBSTORHardwareId=USBSTOR\\DiskVantrel_Plunda__________2.70\r\n"
      "[Vendor Orvell]\r\nUSBLocationInfo=Keyring\r\n"
      "[Brand Vantrel]\r\nUSBService=hub\r\n");
  std::unique_ptr<IPDKRegInfo> info = CPDKRegFactory::instance().createRegInfo();
  RecordingSink sink;
  info->attachLogSink(&sink);
  RegInfoContainer found = expectedStrings();
  found.set(RegInfoContainer::kUsbstorHardwareId, "USBSTOR\\DiskVantrel_Plunda__________2.70");
  EXPECT_FALSE(info->checkStrings(found, nullptr, "Vantrel"));
  EXPECT_EQ(sink.lines,
            std::vector<std::string>{"1 Registry String Mismatch. Correct: Ravel Current: Plunda"});
  found.set(RegInfoContainer::kUsbLocationInfo, "Ravel");
  sink.lines.clear();
  EXPECT_TRUE(info->checkStrings(found, "Vendor", "Vantrel"));
  // Another section names its own strings; the rest are the built-in ones.
  found.set(RegInfoContainer::kUsbService, "hub");
  EXPECT_FALSE(info->checkStrings(found, "Brand", "Vantrel"));
  EXPECT_EQ(sink.lines,
            (std::vector<std::string>{
                "1 Registry String Mismatch. Correct: Plunda Current: Ravel",
                "1 Registry String Mismatch. Correct: USBSTOR\\DiskVantrel_Plunda__________ "
                "Current: USBSTOR\\DiskVantrel_Plunda__________2.70"}));
}

TEST_F(RegInfoTest, AFixedDiskIsRegisteredWhenItsLetterLeadsToAVolumeOfTheRegisteredDrive) {
  std::vector<std::string> trace;
  pdkos::setDebugOutputHook([&](const char* text) { trace.push_back(text); });
  // Partition records: disk signature 5A0C2E07 at offset 0x7E00, and a device path.
  registry.binary(kMounted, "\\DosDevices\\P:",
                  std::string("\x07\x2E\x0C\x5A\x00\x7E\x00\x00\x00\x00\x00\x00", 12));
  registry.binary(kMounted, "\\DosDevices\\Q:",
                  std::string("\x07\x2E\x0C\x77\x00\x7E\x00\x00\x00\x00\x00\x00", 12));
  registry.text(kEnum + "STORAGE\\Volume\\1&30a96598&0&Signature5A0C2E07Offset7E00Length3B9B2A00",
                "Class", "Volume");
  const struct {
    const char* serial;
    char letter;
    bool registered;
  } cases[] = {
      {"0F3B27000042", 'P', true},            // its volume is registered
      {"0F3B27000042", 'Q', false},           // no volume has that disk signature
      {"0F3B27000042", drive.letter, false},  // a removable medium's device path
      {"0F3B27000042", 'M', false},           // a letter never given
      {"0F3B27000099", 'P', false},           // the drive itself is not registered
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.serial) + " " + c.letter);
    bool registered = !c.registered;
    trace.clear();
    EXPECT_EQ(info->checkFixedDiskRegistration(c.serial, c.letter, registered), 0);
    EXPECT_EQ(registered, c.registered);
    EXPECT_EQ(trace, std::vector<std::string>{"Checking Fixed Disk Registration Finished\n"});
  }
  pdkos::setDebugOutputHook({});
}

}  // namespace
