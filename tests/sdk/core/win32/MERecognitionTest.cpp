// Recognition on Windows ME: INQUIRY by ASPI through the wnaspi32.dll the
// program loads, the fallback to REPORT DEVICE IDENTIFIER for later firmware,
// and the drive letters Windows recorded under "Enum\SCSI".
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "DeviceParams.h"
#include "EmuAspiLibrary.h"
#include "EmuAspiTarget.h"
#include "EmulatedDrive.h"
#include "MEConnection.h"
#include "PDKErrors.h"
#include "ScopedRegistry.h"
#include "TestClock.h"

namespace {

class MERecognitionTest : public ::testing::Test {
 protected:
  MERecognitionTest() {
    library = LoadLibraryA(emu::kAspiLibraryName);
    setTarget = reinterpret_cast<emu::AspiSetTargetFn>(
        reinterpret_cast<void*>(GetProcAddress(library, emu::kAspiSetTargetName)));
    if (setTarget != nullptr) {
      setTarget(emu::CEmuAspiTarget::sendThunk, emu::CEmuAspiTarget::supportThunk, &aspi);
    }
    pdkos::setClock(&clock);
  }
  ~MERecognitionTest() override {
    pdkos::setClock(nullptr);
    if (setTarget != nullptr) setTarget(nullptr, nullptr, nullptr);
    if (library != nullptr) FreeLibrary(library);
  }

  // A drive at adapter 1 and a target of its own; the params that address it.
  DeviceParams attach(const std::string& product, const std::string& revision,
                      const std::string& identifier = std::string()) {
    emu::DriveConfig config;
    config.product = product;
    config.revision = revision;
    config.serial = "0F3B27000077";
    config.sectorCount = 8192;
    config.identifierText = identifier;
    drives.push_back(std::make_unique<emu::CEmulatedDrive>(config));
    const uint8_t target = static_cast<uint8_t>(drives.size() - 1);
    aspi.attach(1, target, drives.back().get());
    DeviceParams p;
    p.adapterId = 1;
    p.targetId = target;
    return p;
  }

  // Whether a request with this opcode went to the target of p.
  bool sent(const DeviceParams& p, uint8_t opcode) const {
    const auto requests = aspi.requests();
    return std::any_of(requests.begin(), requests.end(), [&](const emu::AspiRecord& r) {
      return r.cmd == 2 && r.target == p.targetId && !r.cdb.empty() && r.cdb[0] == opcode;
    });
  }

  emu::CEmuAspiTarget aspi;
  pdkos::CTestClock clock;
  std::vector<std::unique_ptr<emu::CEmulatedDrive>> drives;
  HMODULE library = nullptr;
  emu::AspiSetTargetFn setTarget = nullptr;
  CMEConnection me;
};

TEST_F(MERecognitionTest, ARefusedDriveOfLaterFirmwareMayIdentifyItself) {
  ASSERT_NE(setTarget, nullptr) << "wnaspi32.dll must lie next to the test program";
  const struct {
    const char* product;
    const char* revision;
    std::string identifier;
    bool productCheck;
    int result;
    const char* serial;
    bool asksIdentifier;
  } cases[] = {
      {"Plunda Drive", "2.70", "", true, pdk::kOk, "0F3B27000077", false},
      {"Other Disk", "2.60", "", true, pdk::kNotAuthenticated, "", false},
      {"Other Disk", "2.60", "", false, pdk::kOk, "0F3B27000077", false},
      {"Other Disk", "2.70", "Vantrel Plunda ID0070", true, pdk::kOk, "ID0070", true},
      {"Other Disk", "2.7", "Vantrel Plunda ID0007", true, pdk::kOk, "ID0007", true},
      {"Other Disk", "3.10", "Vantrel Plunda ID0310", true, pdk::kOk, "ID0310", true},
      {"Other Disk", "2", "Vantrel Plunda ID0002", true, pdk::kNotAuthenticated, "", false},
      {"Other Disk", "2.70", "Vantrel Other ID0071", true, pdk::kNotAuthenticated, "", true},
      {"Other Disk", "2.70", "Other Plunda ID0072", true, pdk::kNotAuthenticated, "", true},
      {"Plunda Drive", "1.70", "Vantrel Plunda ID0170", true, pdk::kNotAuthenticated, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.product) + " " + c.revision);
    DeviceParams p = attach(c.product, c.revision, c.identifier);
    EXPECT_EQ(me.inquireAndRecognize(p, c.productCheck), c.result);
    EXPECT_EQ(p.status, c.result);
    EXPECT_STREQ(p.product, c.product);
    EXPECT_STREQ(p.revision, c.revision);
    EXPECT_STREQ(p.serial, c.serial);
    const bool identified = c.asksIdentifier && c.result == pdk::kOk;
    EXPECT_EQ(p.usbVendorId, identified ? 0x0F3B : -1);
    EXPECT_EQ(sent(p, 0xA3), c.asksIdentifier);
  }
}

TEST_F(MERecognitionTest, TheInquiryUsesTheLongAnswerAndAFailureIsAGeneralError) {
  DeviceParams p = attach("Plunda Drive", "2.70");
  ASSERT_EQ(me.inquireAndRecognize(p, true), pdk::kOk);
  const auto requests = aspi.requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.front().cdb[0], 0x12);
  EXPECT_EQ(requests.front().bufLen, 128u);
  EXPECT_EQ(requests.front().cdb[4], 128);

  // Nobody at this target: INQUIRY fails twice; the status is left to detection.
  DeviceParams absent;
  absent.adapterId = 1;
  absent.targetId = 9;
  EXPECT_EQ(me.inquireAndRecognize(absent, true), pdk::kGeneralError);
  EXPECT_EQ(absent.status, pdk::kNotConnected);
  DeviceParams identified = absent;
  EXPECT_EQ(me.reportIdentifier(identified), pdk::kGeneralError);
  EXPECT_STREQ(identified.serial, "");
}

const char kScsi[] = "Enum\\SCSI\\";

TEST_F(MERecognitionTest, AnAcceptedDriveTakesTheLettersWindowsRecorded) {
  ScopedRegistry keys;
  const std::string disk = std::string(kScsi) + "VANTREL_PLUNDA_DRIVE\\";
  const std::string instance = "USBSTOR&DISK&VEN_VANTREL&PROD_PLUNDA_DRIVE&REV_2.70&0F3B27000077&0";
  // The same instance name under another disk's key is not looked at.
  keys.write(std::string(kScsi) + "AAA_OTHER_DISK\\" + instance, "CurrentDriveLetterAssignment",
             "Y");
  // Another drive of the same kind.
  keys.write(disk + "USBSTOR&DISK&VEN_VANTREL&PROD_PLUNDA_DRIVE&REV_2.70&0F3B27000078&0",
             "CurrentDriveLetterAssignment", "Z");
  keys.write(disk + instance, "CurrentDriveLetterAssignment", "Gh");
  keys.write(disk + instance, "Removable", "1");

  DeviceParams p = attach("Plunda Drive", "2.70");
  p.removable = 0;
  ASSERT_EQ(me.inquireAndRecognize(p, true), pdk::kOk);
  EXPECT_EQ(p.driveMask, pdk::letterBit('G') | pdk::letterBit('H'));
  EXPECT_EQ(p.removable, 1);

  // Without the "Removable" value the disk is a fixed one.
  keys.write(
      std::string(kScsi) + "OTHER_DISK_X\\USBSTOR&DISK&VEN_VANTREL&PROD_OTHER_DISK&REV_2.71&ID71&",
      "CurrentDriveLetterAssignment", "K");
  DeviceParams q = attach("Other Disk", "2.71", "Vantrel Plunda ID71");
  ASSERT_EQ(me.inquireAndRecognize(q, true), pdk::kOk);
  EXPECT_EQ(q.driveMask, pdk::letterBit('K'));
  EXPECT_EQ(q.removable, 0);
}

TEST_F(MERecognitionTest, WithoutRecordedLettersTheDriveKeepsItsOwn) {
  DeviceParams p = attach("Plunda Drive", "2.70");
  p.driveMask = pdk::letterBit('E');
  p.removable = 0;
  ASSERT_EQ(me.inquireAndRecognize(p, true), pdk::kOk);
  EXPECT_EQ(p.status, pdk::kOk);
  EXPECT_EQ(p.driveMask, pdk::letterBit('E'));
  EXPECT_EQ(p.removable, 0);
}

}  // namespace
