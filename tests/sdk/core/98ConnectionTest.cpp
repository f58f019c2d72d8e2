#include "98Connection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DeviceHandle.h"
#include "DriveFixture.h"
#include "FramedFailure.h"
#include "PDKErrors.h"

namespace {

// Field offsets of the 98 SE request for this build's pointer width.
struct Usb98Layout {
  static constexpr size_t P = sizeof(void*);
  static constexpr size_t cdb = P == 4 ? 4 : 8;
  static constexpr size_t cdbLength = P == 4 ? 8 : 16;
  static constexpr size_t data = P == 4 ? 12 : 24;
  static constexpr size_t dataLength = P == 4 ? 16 : 32;
  static constexpr size_t dataIn = P == 4 ? 20 : 36;
  static constexpr size_t status = P == 4 ? 24 : 40;
  static constexpr size_t size = P == 4 ? 32 : 56;
};
using U = Usb98Layout;

class C98ConnectionTest : public DriveFixture {
 protected:
  C98ConnectionTest() { port.attachPath("\\\\.\\USBDISK0", &drive); }
  static DeviceParams usbDevice() {
    DeviceParams params = DeviceParams::forLetter('E');
    pdk::setText(params.path, "\\\\.\\USBDISK0");
    return params;
  }
  C98Connection usb;
};

TEST_F(C98ConnectionTest, EachCommandIsOneBlockWithItsOwnCdbLength) {
  CDeviceHandle handle(usbDevice());
  // Held open: closing forgets the path, and the letter's path lives in the registry.
  ASSERT_EQ(handle.open(usb), pdk::kOk);
  uint32_t kb = 0;
  uint8_t sector[512] = {1, 2, 3};
  uint8_t serial[40] = {};
  uint8_t inquiry[pdk::kInquiryBufferLength] = {};
  uint32_t received = 0;
  uint8_t identifier[pdk::kIdentifierBufferLength] = {};

  ASSERT_EQ(usb.readCapacity(handle, &kb), pdk::kOk);
  EXPECT_EQ(kb, 2048u);
  ASSERT_EQ(usb.write10(handle, sector, 7, 1, 10000), pdk::kOk);
  ASSERT_EQ(usb.read10(handle, sector, 7, 1, 10000), pdk::kOk);
  ASSERT_EQ(usb.vendorIn(handle, 0x0100, 0, nullptr, 40, serial, 10000), pdk::kOk);
  ASSERT_EQ(usb._inquiry(handle, inquiry, &received), pdk::kOk);
  ASSERT_EQ(usb._reportIdentifier(handle, identifier), pdk::kOk);
  EXPECT_STREQ(reinterpret_cast<char*>(serial + 6), "0F3B27000042");
  EXPECT_STREQ(reinterpret_cast<char*>(identifier + 4), "Vantrel Plunda 0F3B27000042");

  struct Expect {
    uint8_t opcode;
    uint32_t cdbLength, dataLength, dataIn;
  } expected[] = {{0x25, 10, 8, 1},  {0x2A, 10, 512, 0}, {0x28, 10, 512, 1},
                  {0xFF, 14, 40, 1}, {0x12, 6, 36, 1},   {0xA3, 12, 46, 1}};
  ASSERT_EQ(raw.calls.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const RawControl& c = raw.calls[i];
    EXPECT_EQ(c.code, 0x220000u);
    EXPECT_EQ(c.inLength, U::size);
    EXPECT_EQ(c.outLength, U::size);
    EXPECT_EQ(rawU32(c.in, 0), 0u);
    EXPECT_NE(rawPtr(c.in, U::cdb), 0u);
    EXPECT_EQ(rawU32(c.in, U::cdbLength), expected[i].cdbLength);
    EXPECT_NE(rawPtr(c.in, U::data), 0u);
    EXPECT_EQ(rawU32(c.in, U::dataLength), expected[i].dataLength);
    EXPECT_EQ(rawU32(c.in, U::dataIn), expected[i].dataIn);
    EXPECT_NE(rawPtr(c.in, U::status), 0u);
    EXPECT_EQ(rawU32(c.in, U::size - 4), 0u);
    EXPECT_EQ(port.controls()[i].cdb[0], expected[i].opcode);
  }
  EXPECT_EQ(drive.sector(7)[2], 3);
}

TEST_F(C98ConnectionTest, DriveStatusAndDeliveryFailuresAreTold) {
  CDeviceHandle handle(usbDevice());
  ASSERT_EQ(handle.open(usb), pdk::kOk);
  uint8_t serial[40] = {};
  drive.injectFaults(emu::FaultKind::CheckCondition, 1);
  EXPECT_EQ(usb.vendorIn(handle, 0x0100, 0, nullptr, 40, serial, 10000), pdk::kDeviceInternalError);
  drive.injectFaults(emu::FaultKind::NotDelivered, 1);
  EXPECT_EQ(usb.vendorIn(handle, 0x0100, 0, nullptr, 40, serial, 10000), pdk::kConnectionFailed);
  handle.close();
  EXPECT_EQ(port.openHandleCount(), 0u);
}

// A framed data-in the drive refused: the frame is compared, and one that is
// gone gives 9 instead of the drive's own code.
TEST_F(C98ConnectionTest, AFailedFramedReadWithoutItsFrameAnswers9) {
  CDeviceHandle handle(usbDevice());
  ASSERT_EQ(handle.open(usb), pdk::kOk);
  expectFramedFailures(usb, handle, drive, 1, pdk::kNotAuthenticated);
}

TEST_F(C98ConnectionTest, AnUnknownDevicePathIsNotConnected) {
  DeviceParams params = usbDevice();
  pdk::setText(params.path, "\\\\.\\USBDISK9");
  CDeviceHandle handle(params);
  uint32_t kb = 0;
  EXPECT_EQ(usb.readCapacity(handle, &kb), pdk::kNotConnected);
}

}  // namespace
