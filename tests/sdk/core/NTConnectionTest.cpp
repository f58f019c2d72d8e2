#include "NTConnection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DeviceHandle.h"
#include "DriveFixture.h"
#include "PDKErrors.h"

namespace {

using L = PassThroughLayout;

class NTConnectionTest : public DriveFixture {
 protected:
  // Checks the fixed part of a pass-through header and returns nothing; the
  // command-specific fields are checked by each test.
  static void expectHeaderTemplate(const RawControl& c) {
    ASSERT_GE(c.in.size(), L::headerSize);
    EXPECT_EQ(rawU16(c.in, L::length), L::headerSize);
    EXPECT_EQ(c.in[L::pathId], 0);
    EXPECT_EQ(c.in[L::targetId], 1);
    EXPECT_EQ(c.in[L::lun], 0);
    EXPECT_EQ(c.in[L::senseInfoLength], 24);
  }

  CNTConnection nt;
};

TEST_F(NTConnectionTest, ReadCapacityUsesTheDirectBlockAndReportsKilobytes) {
  CDeviceHandle handle(driveE());
  uint32_t kb = 0;
  ASSERT_EQ(nt.readCapacity(handle, &kb), pdk::kOk);
  EXPECT_EQ(kb, 4096u / 2);

  ASSERT_EQ(raw.calls.size(), 1u);
  const RawControl& c = raw.calls[0];
  EXPECT_EQ(c.code, 0x4D014u);
  EXPECT_EQ(c.inLength, L::directBlockSize);
  EXPECT_EQ(c.outLength, L::directBlockSize);
  expectHeaderTemplate(c);
  EXPECT_EQ(c.in[L::cdbLength], 14);
  EXPECT_EQ(c.in[L::dataIn], 1);
  EXPECT_EQ(rawU32(c.in, L::dataTransferLength), 8u);
  EXPECT_EQ(rawU32(c.in, L::timeOutValue), 10u);
  EXPECT_EQ(rawU32(c.in, L::senseInfoOffset), L::senseOffset);
  EXPECT_EQ(c.in[L::cdb], 0x25);
}

// 0x01000002 sectors: the last block 0x01000001 is read as 0x000001.
class NTBigDriveTest : public DriveFixture {
 protected:
  NTBigDriveTest() : DriveFixture(smallDrive(0x01000002)) {}
  CNTConnection nt;
};

TEST_F(NTBigDriveTest, TheTopByteOfTheLastBlockIsIgnored) {
  CDeviceHandle handle(driveE());
  uint32_t kb = 0;
  EXPECT_EQ(nt.readCapacity(handle, &kb), pdk::kOk);
  EXPECT_EQ(kb, 1u);
}

TEST_F(NTConnectionTest, SectorsWrittenAreReadBackThroughTheirCdbs) {
  std::vector<uint8_t> out(3 * 512);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 7 + 1);
  CDeviceHandle handle(driveE());
  ASSERT_EQ(nt.write10(handle, out.data(), 0x0102, 3, 10000), pdk::kOk);
  std::vector<uint8_t> in(out.size());
  ASSERT_EQ(nt.read10(handle, in.data(), 0x0102, 3, 10000), pdk::kOk);
  EXPECT_EQ(in, out);
  EXPECT_EQ(drive.sector(0x0103), std::vector<uint8_t>(out.begin() + 512, out.begin() + 1024));

  ASSERT_EQ(raw.calls.size(), 2u);
  for (const RawControl& c : raw.calls) {
    EXPECT_EQ(c.code, 0x4D014u);
    expectHeaderTemplate(c);
    EXPECT_EQ(rawU32(c.in, L::dataTransferLength), 3u * 512);
    EXPECT_EQ(rawU32(c.in, L::timeOutValue), 10000u);  // the caller's time-out
    const uint8_t cdbTail[] = {0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x03, 0x00};
    EXPECT_EQ(0, std::memcmp(&c.in[L::cdb + 1], cdbTail, sizeof(cdbTail)));
  }
  EXPECT_EQ(raw.calls[0].in[L::cdb], 0x2A);
  EXPECT_EQ(raw.calls[0].in[L::dataIn], 0);
  EXPECT_EQ(raw.calls[1].in[L::cdb], 0x28);
  EXPECT_EQ(raw.calls[1].in[L::dataIn], 1);
}

TEST_F(NTConnectionTest, TransfersOutsideOneCdbByteAreRefused) {
  CDeviceHandle handle(driveE());
  std::vector<uint8_t> buffer(256 * 512);
  EXPECT_EQ(nt.read10(handle, buffer.data(), 0, 256, 10000), pdk::kBadParameters);
  EXPECT_EQ(nt.write10(handle, buffer.data(), 0, 0, 10000), pdk::kBadParameters);
  EXPECT_EQ(nt.read10(handle, nullptr, 0, 1, 10000), pdk::kBadParameters);
  EXPECT_TRUE(raw.calls.empty());
  EXPECT_EQ(nt.read10(handle, buffer.data(), 0, 255, 10000), pdk::kOk);
}

TEST_F(NTConnectionTest, VendorCommandWithDataGoesDirectWithItsOwnCdb) {
  CDeviceHandle handle(driveE());
  uint8_t answer[40] = {};
  const uint8_t params[2] = {0xAB, 0xCD};
  // The serial sub-code ignores parameter bytes; they must still travel in bytes 3-4.
  ASSERT_EQ(nt.vendorIn(handle, 0x0100, 2, params, sizeof(answer), answer, 10000), pdk::kOk);
  EXPECT_STREQ(reinterpret_cast<char*>(answer + 6), "0F3B27000042");

  ASSERT_EQ(raw.calls.size(), 1u);
  const RawControl& c = raw.calls[0];
  EXPECT_EQ(c.code, 0x4D014u);
  EXPECT_EQ(c.in[L::cdbLength], 14);
  EXPECT_EQ(c.in[L::dataIn], 1);
  EXPECT_EQ(rawU32(c.in, L::dataTransferLength), 40u);
  EXPECT_EQ(rawU32(c.in, L::timeOutValue), 10000u);
  const uint8_t cdb[14] = {0xFF, 0x00, 0x01, 0xAB, 0xCD, 0, 0, 0, 0, 0, 'T', 'O', 'R', 'M'};
  EXPECT_EQ(0, std::memcmp(&c.in[L::cdb], cdb, sizeof(cdb)));
}

TEST_F(NTConnectionTest, VendorCommandWithoutDataSendsOnlyTheBufferedHeader) {
  CDeviceHandle handle(driveE());
  // The drive acknowledges 0x0043 without moving data.
  EXPECT_EQ(nt.vendorOut(handle, 0x0043, 0, nullptr, 0, nullptr, 10000), pdk::kOk);
  ASSERT_EQ(raw.calls.size(), 1u);
  const RawControl& c = raw.calls[0];
  EXPECT_EQ(c.code, 0x4D004u);
  EXPECT_EQ(c.inLength, L::headerSize);
  EXPECT_EQ(c.outLength, L::bufferedDataOffset);
  expectHeaderTemplate(c);
  EXPECT_EQ(c.in[L::dataIn], 0);
  EXPECT_EQ(rawU32(c.in, L::dataTransferLength), 0u);
  EXPECT_EQ(rawPtr(c.in, L::pointer), L::bufferedDataOffset);
  EXPECT_EQ(c.in[L::cdb], 0xFF);
  EXPECT_EQ(c.in[L::cdb + 1], 0x43);
}

TEST_F(NTConnectionTest, VendorArgumentsAreChecked) {
  CDeviceHandle handle(driveE());
  uint8_t data[40] = {};
  const uint8_t params[8] = {};
  EXPECT_EQ(nt.vendorIn(handle, 0x0100, 8, params, 40, data, 10000), pdk::kBadParameters);
  EXPECT_EQ(nt.vendorIn(handle, 0x0100, 1, nullptr, 40, data, 10000), pdk::kBadParameters);
  EXPECT_EQ(nt.vendorIn(handle, 0x0100, 0, nullptr, 40, nullptr, 10000), pdk::kBadParameters);
  EXPECT_EQ(nt.vendorInFramed(handle, 0x0100, 0, nullptr, 15, data, 10000, 0), pdk::kBadParameters);
  EXPECT_TRUE(raw.calls.empty());
}

TEST_F(NTConnectionTest, InquiryGoesThroughTheBufferedBlock) {
  CDeviceHandle handle(driveE());
  uint8_t data[pdk::kInquiryBufferLength] = {};
  uint32_t received = 0;
  ASSERT_EQ(nt._inquiry(handle, data, &received), pdk::kOk);
  EXPECT_EQ(received, 36u);
  EXPECT_EQ(0, std::memcmp(data + 8, "VANTREL ", 8));
  EXPECT_EQ(0, std::memcmp(data + 32, "2.70", 4));

  ASSERT_EQ(raw.calls.size(), 1u);
  const RawControl& c = raw.calls[0];
  EXPECT_EQ(c.code, 0x4D004u);
  EXPECT_EQ(c.inLength, L::headerSize);
  EXPECT_EQ(c.outLength, L::bufferedDataOffset + 36);
  EXPECT_EQ(c.in[L::cdbLength], 6);
  EXPECT_EQ(c.in[L::dataIn], 1);
  EXPECT_EQ(rawU32(c.in, L::dataTransferLength), 36u);
  const uint8_t cdb[6] = {0x12, 0, 0, 0, 36, 0};
  EXPECT_EQ(0, std::memcmp(&c.in[L::cdb], cdb, sizeof(cdb)));
}

TEST_F(NTConnectionTest, IdentifierTravelsInsideItsOwnBlockWithTimeOutOne) {
  CDeviceHandle handle(driveE());
  uint8_t data[pdk::kIdentifierBufferLength] = {};
  ASSERT_EQ(nt._reportIdentifier(handle, data), pdk::kOk);
  EXPECT_STREQ(reinterpret_cast<char*>(data + 4), "Vantrel Plunda 0F3B27000042");

  ASSERT_EQ(raw.calls.size(), 1u);
  const RawControl& c = raw.calls[0];
  EXPECT_EQ(c.code, 0x4D014u);
  EXPECT_EQ(c.inLength, L::identifierBlockSize);
  EXPECT_EQ(c.in[L::cdbLength], 12);
  EXPECT_EQ(rawU32(c.in, L::dataTransferLength), 100u);
  EXPECT_EQ(rawU32(c.in, L::timeOutValue), 1u);
  const uint8_t cdb[12] = {0xA3, 0x05, 0, 0, 0, 0, 0, 0, 0, 100, 0, 0};
  EXPECT_EQ(0, std::memcmp(&c.in[L::cdb], cdb, sizeof(cdb)));
}

TEST_F(NTConnectionTest, FailuresMapToTransportCodes) {
  CDeviceHandle handle(driveE());
  uint32_t kb = 0;
  drive.injectFaults(emu::FaultKind::NotDelivered, 1);
  EXPECT_EQ(nt.readCapacity(handle, &kb), pdk::kConnectionFailed);
  drive.injectFaults(emu::FaultKind::CheckCondition, 1);
  EXPECT_EQ(nt.readCapacity(handle, &kb), pdk::kDeviceInternalError);
  EXPECT_EQ(nt.readCapacity(handle, &kb), pdk::kOk);
}

TEST_F(NTConnectionTest, FramedCommandsNeedTheSignatureInTheAnswer) {
  CDeviceHandle handle(driveE());
  uint8_t data[40];
  // The serial answer does not begin with the frame signature.
  std::memset(data, 0, sizeof(data));
  EXPECT_EQ(nt.vendorInFramed(handle, 0x0100, 0, nullptr, 40, data, 10000, 1),
            pdk::kNotAuthenticated);
  // Unframed: the header is written before sending and no check follows.
  std::memset(data, 0, sizeof(data));
  EXPECT_EQ(nt.vendorInFramed(handle, 0x0100, 0, nullptr, 40, data, 10000, 0), pdk::kOk);
}

TEST_F(NTConnectionTest, UnframedOutCommandCarriesTheFrameHeader) {
  CDeviceHandle handle(driveE());
  uint8_t data[20] = {};
  nt.vendorOutFramed(handle, 0x0041, 0, nullptr, sizeof(data), data, 10000, 0);
  const uint8_t header[16] = {'B',  'I',  'P',  'O',  0xFF, 0xFF, 0xFF, 0xFF,
                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(0, std::memcmp(data, header, sizeof(header)));
}

TEST_F(NTConnectionTest, ProbeAccessOpensDriveC) {
  EXPECT_EQ(nt.probeAccess(), pdk::kCantAccessDevice);
  port.attach('C', &drive);
  EXPECT_EQ(nt.probeAccess(), pdk::kOk);
  EXPECT_EQ(port.openHandleCount(), 0u);
  EXPECT_EQ(port.openedPaths().back(), "\\\\.\\C:");
}

}  // namespace
