// The ME transport against the ASPI library it really loads: wnaspi32.dll from
// the program's folder, routed to emulated adapters.
#include "MEConnection.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "DeviceHandle.h"
#include "EmuAspiLibrary.h"
#include "EmuAspiTarget.h"
#include "EmulatedDrive.h"
#include "FramedFailure.h"
#include "PDKErrors.h"
#include "TestClock.h"

namespace {

class MEConnectionTest : public ::testing::Test {
 protected:
  MEConnectionTest() : drive(config()) {
    aspi.attach(1, 0, &drive);
    aspi.setAdapterCount(2);
    // The same library the connection loads by name: a second reference to it.
    library = LoadLibraryA(emu::kAspiLibraryName);
    setTarget = reinterpret_cast<emu::AspiSetTargetFn>(
        reinterpret_cast<void*>(GetProcAddress(library, emu::kAspiSetTargetName)));
    if (setTarget != nullptr) {
      setTarget(emu::CEmuAspiTarget::sendThunk, emu::CEmuAspiTarget::supportThunk, &aspi);
    }
    pdkos::setClock(&clock);
  }
  ~MEConnectionTest() override {
    pdkos::setClock(nullptr);
    if (setTarget != nullptr) setTarget(nullptr, nullptr, nullptr);
    if (library != nullptr) FreeLibrary(library);
  }
  static emu::DriveConfig config() {
    emu::DriveConfig c;
    c.serial = "0F3B27000077";
    c.sectorCount = 8192;
    return c;
  }
  static DeviceParams atAdapter1() {
    DeviceParams p;
    p.adapterId = 1;
    p.targetId = 0;
    return p;
  }

  emu::CEmulatedDrive drive;
  emu::CEmuAspiTarget aspi;
  pdkos::CTestClock clock;
  HMODULE library = nullptr;
  emu::AspiSetTargetFn setTarget = nullptr;
};

TEST_F(MEConnectionTest, TheLibraryIsFoundAndCountsTheAdapters) {
  ASSERT_NE(setTarget, nullptr) << "wnaspi32.dll must lie next to the test program";
  CMEConnection me;
  EXPECT_EQ(me.hostAdapterCount(), 2);
  ASSERT_FALSE(aspi.requests().empty());
  EXPECT_EQ(aspi.requests().back().cmd, 0);
  EXPECT_EQ(aspi.requests().back().haId, 0);
}

TEST_F(MEConnectionTest, CommandsTravelAsExecuteSrbsByAdapterAndTarget) {
  CMEConnection me;
  CDeviceHandle handle(atAdapter1());
  uint32_t kb = 0;
  uint8_t sector[512];
  std::memset(sector, 0x5A, sizeof(sector));
  uint8_t serial[40] = {};
  uint8_t inquiry[pdk::kInquiryBufferLength] = {};
  uint32_t received = 0;
  uint8_t identifier[pdk::kIdentifierBufferLength] = {};

  ASSERT_EQ(me.readCapacity(handle, &kb), pdk::kOk);
  EXPECT_EQ(kb, 4096u);
  ASSERT_EQ(me.write10(handle, sector, 3, 1, 10000), pdk::kOk);
  ASSERT_EQ(me.vendorIn(handle, 0x0100, 0, nullptr, 40, serial, 10000), pdk::kOk);
  ASSERT_EQ(me._inquiry(handle, inquiry, &received), pdk::kOk);
  ASSERT_EQ(me._reportIdentifier(handle, identifier), pdk::kOk);
  EXPECT_EQ(drive.sector(3)[511], 0x5A);
  EXPECT_STREQ(reinterpret_cast<char*>(serial + 6), "0F3B27000077");
  EXPECT_EQ(received, 128u);
  EXPECT_STREQ(reinterpret_cast<char*>(identifier + 4), "Vantrel Plunda 0F3B27000077");

  struct Expect {
    uint8_t flags, cdbLen, opcode;
    uint32_t bufLen;
  } expected[] = {{0x09, 14, 0x25, 8},
                  {0x11, 14, 0x2A, 512},
                  {0x09, 14, 0xFF, 40},
                  {0x09, 6, 0x12, 128},
                  {0x09, 12, 0xA3, 46}};
  const auto requests = aspi.requests();
  ASSERT_EQ(requests.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(requests[i].cmd, 2);
    EXPECT_EQ(requests[i].haId, 1);
    EXPECT_EQ(requests[i].target, 0);
    EXPECT_EQ(requests[i].lun, 0);
    EXPECT_EQ(requests[i].senseLen, 14);
    EXPECT_TRUE(requests[i].postProcPresent);
    EXPECT_EQ(requests[i].flags, expected[i].flags);
    EXPECT_EQ(requests[i].cdbLen, expected[i].cdbLen);
    EXPECT_EQ(requests[i].cdb[0], expected[i].opcode);
    EXPECT_EQ(requests[i].bufLen, expected[i].bufLen);
  }
}

TEST_F(MEConnectionTest, AFailedVendorCommandIsTriedTwiceThenJudgedByReadCapacity) {
  CMEConnection me;
  CDeviceHandle handle(atAdapter1());
  uint8_t serial[40] = {};

  // The drive refuses twice but still answers READ CAPACITY: the drive is at fault.
  drive.injectFaults(emu::FaultKind::CheckCondition, 2);
  EXPECT_EQ(me.vendorIn(handle, 0x0100, 0, nullptr, 40, serial, 10000), pdk::kDeviceInternalError);
  auto requests = aspi.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].cdb[0], 0xFF);
  EXPECT_EQ(requests[1].cdb[0], 0xFF);
  EXPECT_EQ(requests[2].cdb[0], 0x25);

  // One refusal: the second try succeeds.
  aspi.clearRequests();
  drive.injectFaults(emu::FaultKind::CheckCondition, 1);
  EXPECT_EQ(me.vendorIn(handle, 0x0100, 0, nullptr, 40, serial, 10000), pdk::kOk);
  EXPECT_EQ(aspi.requests().size(), 2u);
}

// A framed data-in the drive refused: the frame is compared, and one that is
// gone gives 5 instead of the command's own code.
TEST_F(MEConnectionTest, AFailedFramedReadWithoutItsFrameAnswers5) {
  CMEConnection me;
  CDeviceHandle handle(atAdapter1());
  expectFramedFailures(me, handle, drive, 2, pdk::kVerificationError);  // 2: both tries
}

TEST_F(MEConnectionTest, ARequestStillPendingAfterTenPollsHasFailed) {
  CMEConnection me;
  CDeviceHandle handle(atAdapter1());
  uint8_t serial[40] = {};

  // Everything hangs: two vendor tries and the READ CAPACITY check, ten polls each.
  aspi.stallRequests(emu::CEmuAspiTarget::kForever);
  const uint32_t start = clock.tickCount();
  EXPECT_EQ(me.vendorIn(handle, 0x0100, 0, nullptr, 40, serial, 10000), pdk::kConnectionFailed);
  EXPECT_EQ(clock.tickCount() - start, 3u * 10 * 100);

  // Only the vendor requests hang: the drive still answers, so it is the drive's fault.
  aspi.stallRequests(2);
  EXPECT_EQ(me.vendorIn(handle, 0x0100, 0, nullptr, 40, serial, 10000), pdk::kDeviceInternalError);

  // READ CAPACITY is sent once.
  aspi.clearRequests();
  aspi.stallRequests(1);
  uint32_t kb = 0;
  EXPECT_EQ(me.readCapacity(handle, &kb), pdk::kConnectionFailed);
  EXPECT_EQ(aspi.requests().size(), 1u);
}

TEST(MEConnectionWithoutAspiTest, EveryCommandFailsWhenTheLibraryAnswersNothing) {
  // No target installed: the library reports an error for every request.
  CMEConnection me;
  DeviceParams p;
  p.adapterId = 1;
  p.targetId = 0;
  CDeviceHandle handle(p);
  uint32_t kb = 0;
  EXPECT_EQ(me.readCapacity(handle, &kb), pdk::kConnectionFailed);
  EXPECT_EQ(me.hostAdapterCount(), 0);
}

}  // namespace
