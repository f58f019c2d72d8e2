// Recognition of a drive behind the NT and the 98 SE transports: INQUIRY and
// the accept step, the serial query, REPORT DEVICE IDENTIFIER and the 98 SE
// fallback to it; and the parsing of the three answers on their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "98Connection.h"
#include "CommandBlocks.h"
#include "DriveFixture.h"
#include "IdentifierText.h"
#include "InquiryData.h"
#include "NTConnection.h"
#include "PDKErrors.h"
#include "SCSIStringAuthenticator.h"

namespace {

const char kUsbDevicePath[] = "\\\\.\\USBDISK0";

// One emulated drive, reachable as E: (NT) and by its USB device path (98 SE).
struct Bench {
  explicit Bench(emu::DriveConfig config) : drive(std::move(config)), raw(port) {
    port.attach('E', &drive);
    port.attachPath(kUsbDevicePath, &drive);
    pdk::setDevicePort(&raw);
  }
  ~Bench() { pdk::setDevicePort(nullptr); }

  // Whether a command with this opcode reached the drive.
  bool received(uint8_t opcode) const {
    const auto log = drive.commandLog();
    return std::any_of(log.begin(), log.end(), [opcode](const emu::CommandRecord& r) {
      return !r.cdb.empty() && r.cdb[0] == opcode;
    });
  }

  emu::CEmulatedDrive drive;
  emu::CEmuDevicePort port;
  RawCapturePort raw;
};

emu::DriveConfig driveWith(const std::string& product, const std::string& revision,
                           const std::string& identifier = std::string()) {
  emu::DriveConfig config = smallDrive();
  config.product = product;
  config.revision = revision;
  config.identifierText = identifier;
  return config;
}

DeviceParams usbDevice() {
  DeviceParams params = DeviceParams::forLetter('E');
  pdk::setText(params.path, kUsbDevicePath);
  return params;
}

// Windows hands back fewer INQUIRY bytes than the drive sent.
class ShortInquiryPort : public pdk::IDevicePort {
 public:
  ShortInquiryPort(pdk::IDevicePort& next, uint32_t dataBytes) : m_next(next), m_bytes(dataBytes) {}
  pdk::PDKHandle open(const char* path, uint32_t* error) override {
    return m_next.open(path, error);
  }
  void close(pdk::PDKHandle handle) override { m_next.close(handle); }
  bool control(pdk::PDKHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
               uint32_t outLength, uint32_t* returned) override {
    const bool ok = m_next.control(handle, code, in, inLength, out, outLength, returned);
    // INQUIRY is the only buffered command that carries data.
    const uint32_t cut = static_cast<uint32_t>(PassThroughLayout::bufferedDataOffset) + m_bytes;
    if (ok && code == pdk::kIoctlScsiPassThrough && *returned > cut) *returned = cut;
    return ok;
  }

 private:
  pdk::IDevicePort& m_next;
  uint32_t m_bytes;
};

// ---- The answers on their own ----

std::vector<uint8_t> inquiryAnswer(const char* vendor, const char* product, const char* revision) {
  std::vector<uint8_t> a(36, ' ');
  std::fill(a.begin(), a.begin() + 8, 0);
  std::memcpy(&a[8], vendor, std::min<size_t>(8, std::strlen(vendor)));
  std::memcpy(&a[16], product, std::min<size_t>(16, std::strlen(product)));
  std::memcpy(&a[32], revision, std::min<size_t>(4, std::strlen(revision)));
  return a;
}

TEST(InquiryDataTest, FieldsAreCutAtTheirNulAndLoseTrailingBlanks) {
  std::vector<uint8_t> a = inquiryAnswer("VANTREL", " Plunda  Drive", "2.7");
  a.push_back('Z');  // byte 36, the fifth revision byte
  a.push_back('X');  // byte 37 is not read
  CInquiryData d(a.data(), a.size());
  EXPECT_EQ(d.vendor(), "VANTREL");
  EXPECT_EQ(d.product(), " Plunda  Drive");  // leading and inner blanks stay
  EXPECT_EQ(d.revision(), "2.7 Z");

  a[20] = 0;  // a NUL ends the product text
  EXPECT_EQ(CInquiryData(a.data(), a.size()).product(), " Plu");

  // Bytes the drive did not send count as 0: 33 bytes hold one revision character.
  EXPECT_EQ(CInquiryData(a.data(), 33).revision(), "2");
  EXPECT_EQ(CInquiryData(a.data(), 20).product(), " Plu");
  EXPECT_EQ(CInquiryData(nullptr, 36).vendor(), "");
}

TEST(InquiryDataTest, RevisionRules) {
  struct Case {
    const char* revision;
    bool refused, identifies;
  } cases[] = {{"1.99", true, false}, {"2.60", false, false}, {"2.69", false, false},
               {"2.70", false, true}, {"2.9", false, true},   {"2", false, false},
               {"3.00", false, true}, {"9", false, true},     {"", false, false},
               {"0.99", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.revision);
    EXPECT_EQ(CInquiryData::revisionRefused(c.revision), c.refused);
    EXPECT_EQ(CInquiryData::revisionIdentifies(c.revision), c.identifies);
  }
}

std::vector<uint8_t> identifierAnswer(const std::string& text, size_t length) {
  std::vector<uint8_t> a(length, 0);
  a[3] = static_cast<uint8_t>(text.size());
  std::memcpy(&a[4], text.data(), std::min(text.size(), length - 4));
  return a;
}

TEST(IdentifierTextTest, WordsAreSplitAtBlanksTabsAndLineFeeds) {
  const auto a = identifierAnswer("\t Vantrel  Plunda\n0F3B\r1 more ", 46);
  const CIdentifierText t(a.data(), a.size());
  EXPECT_EQ(t.words(), (std::vector<std::string>{"Vantrel", "Plunda", "0F3B\r1", "more"}));
  EXPECT_TRUE(t.namesDrive());
  EXPECT_EQ(t.serial(), "0F3B\r1");
}

TEST(IdentifierTextTest, OnlyTheFirst41BytesAreRead) {
  // 37 characters fill the kept bytes exactly: the serial has 22 characters.
  const std::string serial22(22, 'S');
  auto a = identifierAnswer("Vantrel Plunda " + serial22, 100);
  CIdentifierText exact(a.data(), a.size());
  EXPECT_TRUE(exact.namesDrive());
  EXPECT_EQ(exact.serial(), serial22);

  // Longer serials run past the kept bytes: the drive is still identified,
  // by the serial cut there, the same every time it is read.
  for (const std::string& tail : {std::string("T"), std::string("TUVWXYZ")}) {
    a = identifierAnswer("Vantrel Plunda " + serial22 + tail, 100);
    const CIdentifierText cut(a.data(), a.size());
    EXPECT_TRUE(cut.namesDrive()) << tail;
    EXPECT_EQ(cut.serial(), serial22) << tail;
  }
  // A fourth word past the kept bytes leaves the serial whole.
  a = identifierAnswer("Vantrel Plunda 0F3B 12345678901234567", 100);
  const CIdentifierText longer(a.data(), a.size());
  EXPECT_TRUE(longer.namesDrive());
  EXPECT_EQ(longer.serial(), "0F3B");
  EXPECT_EQ(longer.words().back(), "12345678901234567");  // cut at the kept bytes
  a = identifierAnswer("Vantrel Plunda 0F3B 123456789012345678", 100);
  EXPECT_EQ(CIdentifierText(a.data(), a.size()).words().back(), "12345678901234567");
}

TEST(SerialAnswerTest, TheSerialIsTheTextFromByteSixAndMustFitItsField) {
  std::vector<uint8_t> a(40, 0);
  std::memcpy(a.data(), "SN\x01\x0C\xAA\xBB", 6);
  std::memcpy(&a[6], "0F3B27000042", 12);
  std::string serial = "old";
  ASSERT_TRUE(CSCSIStringAuthenticator::serialFromAnswer(a.data(), a.size(), &serial));
  EXPECT_EQ(serial, "0F3B27000042");

  std::fill(a.begin() + 6, a.end(), 'S');
  // 31 characters fit the 32-byte field; 32 and the full 34 do not.
  a[6 + 31] = 0;
  ASSERT_TRUE(CSCSIStringAuthenticator::serialFromAnswer(a.data(), a.size(), &serial));
  EXPECT_EQ(serial, std::string(31, 'S'));
  a[6 + 31] = 'S';
  a[6 + 32] = 0;
  EXPECT_FALSE(CSCSIStringAuthenticator::serialFromAnswer(a.data(), a.size(), &serial));
  a[6 + 32] = 'S';
  EXPECT_FALSE(CSCSIStringAuthenticator::serialFromAnswer(a.data(), a.size(), &serial));
  EXPECT_EQ(serial, std::string(31, 'S'));  // a refused answer leaves the text alone
  // An answer that ends early ends the text.
  ASSERT_TRUE(CSCSIStringAuthenticator::serialFromAnswer(a.data(), 10, &serial));
  EXPECT_EQ(serial, "SSSS");
}

// ---- NT family ----

TEST(NTRecognitionTest, AnAcceptedDriveIsRecognisedThroughOneHandle) {
  Bench b(driveWith("Plunda Drive", "2.7"));
  DeviceParams p = DeviceParams::forLetter('E');
  EXPECT_EQ(CNTConnection().inquireAndRecognize(p, true), pdk::kOk);
  EXPECT_EQ(p.status, pdk::kOk);
  EXPECT_STREQ(p.vendor, "VANTREL");
  EXPECT_STREQ(p.product, "Plunda Drive");
  EXPECT_STREQ(p.revision, "2.7");
  EXPECT_STREQ(p.serial, "0F3B27000042");
  EXPECT_EQ(p.driveMask, pdk::letterBit('E'));

  // INQUIRY, then the serial query, on one handle that is closed again.
  const auto log = b.drive.commandLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].cdb[0], 0x12);
  EXPECT_EQ(log[1].cdb[0], 0xFF);
  EXPECT_EQ(log[1].cdb[1] | (log[1].cdb[2] << 8), 0x0100);
  EXPECT_EQ(log[1].dataLength, 40u);
  EXPECT_TRUE(log[1].dataIn);
  EXPECT_EQ(b.port.openCount(), 1u);
  EXPECT_EQ(b.port.openHandleCount(), 0u);
}

struct ProductCase {
  const char* product;
  const char* revision;
  bool productCheck;
  int result;  // also the status
};

const ProductCase kProductCases[] = {
    {"Plunda Drive", "2.70", true, pdk::kOk},
    {"My Storage Media", "2.70", true, pdk::kOk},
    {"Storage Media 2", "2.70", true, pdk::kOk},
    {"NewPlundaX", "2.70", true, pdk::kOk},
    {"Other Disk", "2.70", true, pdk::kNotAuthenticated},
    {"Other Disk", "2.70", false, pdk::kOk},
    {"plunda drive", "2.70", true, pdk::kNotAuthenticated},
    {"Storage  Media", "2.70", true, pdk::kNotAuthenticated},
    {"Plunda Drive", "1.20", true, pdk::kNotAuthenticated},
    {"Plunda Drive", "1.20", false, pdk::kNotAuthenticated},
    {"Other Disk", "1.00", false, pdk::kNotAuthenticated},
    {"", "2.70", false, pdk::kNotAuthenticated},
};

TEST(NTRecognitionTest, ProductNamesAndRevisionsDecide) {
  for (const ProductCase& c : kProductCases) {
    SCOPED_TRACE(std::string(c.product) + " " + c.revision + (c.productCheck ? " check" : ""));
    Bench b(driveWith(c.product, c.revision));
    DeviceParams p = DeviceParams::forLetter('E');
    EXPECT_EQ(CNTConnection().inquireAndRecognize(p, c.productCheck), c.result);
    EXPECT_EQ(p.status, c.result);
    EXPECT_STREQ(p.product, c.product);
    // The fields are kept for a refused drive too, except when the product is empty.
    EXPECT_STREQ(p.revision, c.product[0] != '\0' ? c.revision : "");
    EXPECT_STREQ(p.serial, c.result == pdk::kOk ? "0F3B27000042" : "");
    // A drive refused by its INQUIRY answer is not asked for its serial.
    EXPECT_EQ(b.received(0xFF), c.result == pdk::kOk);
  }
}

TEST(NTRecognitionTest, AnInquiryThatFailsLeavesTheDriveNotReady) {
  const struct {
    emu::FaultKind kind;
    int result;
  } cases[] = {{emu::FaultKind::NotDelivered, pdk::kConnectionFailed},
               {emu::FaultKind::CheckCondition, pdk::kDeviceInternalError}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    Bench b(smallDrive());
    b.drive.injectFaults(c.kind, 1);
    DeviceParams p = DeviceParams::forLetter('E');
    EXPECT_EQ(CNTConnection().inquireAndRecognize(p, true), c.result);
    EXPECT_EQ(p.status, pdk::kNotReady);
    EXPECT_STREQ(p.product, "");
    EXPECT_EQ(b.port.openHandleCount(), 0u);
  }
}

TEST(NTRecognitionTest, AVolumeThatDoesNotOpenIsAGeneralError) {
  Bench b(smallDrive());
  DeviceParams p = DeviceParams::forLetter('F');
  EXPECT_EQ(CNTConnection().inquireAndRecognize(p, true), pdk::kGeneralError);
  EXPECT_EQ(p.status, pdk::kNotConnected);
  EXPECT_TRUE(b.drive.commandLog().empty());
}

TEST(NTRecognitionTest, AnInquiryAnswerCountsFrom33DataBytes) {
  // 33 data bytes are 113 bytes back on the 32-bit block, on either build.
  const struct {
    uint32_t dataBytes;
    int result;
    int status;
  } cases[] = {{0, pdk::kGeneralError, pdk::kNotReady},
               {32, pdk::kGeneralError, pdk::kNotReady},
               {33, pdk::kOk, pdk::kOk},
               {36, pdk::kOk, pdk::kOk}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dataBytes);
    Bench b(driveWith("Plunda Drive", "2.70"));
    ShortInquiryPort cut(b.port, c.dataBytes);
    pdk::setDevicePort(&cut);
    DeviceParams p = DeviceParams::forLetter('E');
    EXPECT_EQ(CNTConnection().inquireAndRecognize(p, true), c.result);
    EXPECT_EQ(p.status, c.status);
  }
}

TEST(NTRecognitionTest, AFailedSerialQueryRefusesTheDrive) {
  for (emu::FaultKind kind : {emu::FaultKind::NotDelivered, emu::FaultKind::CheckCondition}) {
    Bench b(smallDrive());
    b.drive.injectFaults(kind, 1, emu::CCommandFilter::vendor(0x0100));
    DeviceParams p = DeviceParams::forLetter('E');
    EXPECT_EQ(CNTConnection().inquireAndRecognize(p, true), pdk::kNotAuthenticated);
    EXPECT_EQ(p.status, pdk::kNotAuthenticated);
    EXPECT_STREQ(p.product, "Plunda Drive");
    EXPECT_STREQ(p.serial, "");
  }
}

TEST(NTRecognitionTest, ASerialLongerThanItsFieldRefusesTheDrive) {
  const struct {
    size_t length;
    int result;
  } cases[] = {{31, pdk::kOk}, {32, pdk::kNotAuthenticated}, {33, pdk::kNotAuthenticated}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    emu::DriveConfig config = smallDrive();
    config.serial = std::string(c.length, '7');
    Bench b(config);
    DeviceParams p = DeviceParams::forLetter('E');
    EXPECT_EQ(CNTConnection().inquireAndRecognize(p, true), c.result);
    EXPECT_EQ(p.status, c.result);
    EXPECT_EQ(std::string(p.serial), c.result == pdk::kOk ? config.serial : "");
  }
}

struct IdentifierCase {
  std::string text;  // the drive's identifier text; empty: "Vantrel Plunda <serial>"
  int result;
  const char* serial;
};

const IdentifierCase kIdentifierCases[] = {
    {"", pdk::kOk, "0F3B27000042"},
    {"Vantrel\tPlunda\nA1B2", pdk::kOk, "A1B2"},
    {"  Vantrel  Plunda  X9 more words", pdk::kOk, "X9"},
    {"Vantrel Plunda", pdk::kOk, ""},  // a drive without serial (UCL)
    {"Vantrel Plunda " + std::string(22, 'S'), pdk::kOk, "SSSSSSSSSSSSSSSSSSSSSS"},
    // A serial past the 41 kept bytes is known by its cut form.
    {"Vantrel Plunda " + std::string(23, 'S'), pdk::kOk, "SSSSSSSSSSSSSSSSSSSSSS"},
    {"Vantrel Plunda " + std::string(40, 'S'), pdk::kOk, "SSSSSSSSSSSSSSSSSSSSSS"},
    {"Vantrel Other 0F3B", pdk::kGeneralError, ""},
    {"Plunda Vantrel 0F3B", pdk::kGeneralError, ""},
    {"vantrel plunda 0F3B", pdk::kGeneralError, ""},
    {"VantrelPlunda 0F3B", pdk::kGeneralError, ""},
    {"Vantrel", pdk::kGeneralError, ""},
    {" ", pdk::kGeneralError, ""},
    {std::string("\x01\xFF\x7F\x80 \x02\x03", 7), pdk::kGeneralError, ""},
};

TEST(NTReportIdentifierTest, TheDriveMustNameMakerAndProduct) {
  for (const IdentifierCase& c : kIdentifierCases) {
    SCOPED_TRACE(c.text);
    Bench b(driveWith("Plunda Drive", "2.70", c.text));
    DeviceParams p = DeviceParams::forLetter('E');
    const int result = CNTConnection().reportIdentifier(p);
    EXPECT_EQ(result, c.result);
    EXPECT_STREQ(p.serial, c.serial);
    EXPECT_EQ(p.usbVendorId, result == pdk::kOk ? 0x0F3B : -1);
    EXPECT_EQ(p.status, result == pdk::kOk ? pdk::kOk : pdk::kNotConnected);
    EXPECT_EQ(b.port.openHandleCount(), 0u);
  }
}

TEST(NTReportIdentifierTest, TransportFailures) {
  Bench b(smallDrive());
  CNTConnection nt;
  DeviceParams p = DeviceParams::forLetter('F');
  EXPECT_EQ(nt.reportIdentifier(p), pdk::kGeneralError);
  p = DeviceParams::forLetter('E');
  b.drive.injectFaults(emu::FaultKind::NotDelivered, 1);
  EXPECT_EQ(nt.reportIdentifier(p), pdk::kConnectionFailed);
  b.drive.injectFaults(emu::FaultKind::CheckCondition, 1);
  EXPECT_EQ(nt.reportIdentifier(p), pdk::kDeviceInternalError);
  EXPECT_EQ(p.status, pdk::kNotConnected);
  EXPECT_STREQ(p.serial, "");
}

// ---- Windows 98 SE ----

struct FallbackCase {
  const char* product;
  const char* revision;
  std::string identifier;
  int result;
  const char* serial;
  bool asksIdentifier;
};

TEST(C98RecognitionTest, ARefusedDriveOfLaterFirmwareMayIdentifyItself) {
  const FallbackCase cases[] = {
      {"Plunda Drive", "2.70", "", pdk::kOk, "0F3B27000042", false},
      {"Other Disk", "2.70", "Vantrel Plunda ID0001", pdk::kOk, "ID0001", true},
      {"Other Disk", "3.00", "Vantrel Plunda ID0002", pdk::kOk, "ID0002", true},
      {"Other Disk", "2.60", "Vantrel Plunda ID0003", pdk::kNotAuthenticated, "", false},
      {"Other Disk", "2.70", "Vantrel Other ID0004", pdk::kNotAuthenticated, "", true},
      {"Plunda Drive", "1.90", "Vantrel Plunda ID0005", pdk::kNotAuthenticated, "", false},
  };
  for (const FallbackCase& c : cases) {
    SCOPED_TRACE(std::string(c.product) + " " + c.revision);
    Bench b(driveWith(c.product, c.revision, c.identifier));
    DeviceParams p = usbDevice();
    EXPECT_EQ(C98Connection().inquireAndRecognize(p, true), c.result);
    EXPECT_EQ(p.status, c.result);
    EXPECT_STREQ(p.serial, c.serial);
    EXPECT_STREQ(p.revision, c.revision);
    EXPECT_EQ(b.received(0xA3), c.asksIdentifier);
    // Every command on one handle of the device path.
    EXPECT_EQ(b.port.openedPaths(), std::vector<std::string>{kUsbDevicePath});
    EXPECT_EQ(b.port.openHandleCount(), 0u);
  }
}

TEST(C98RecognitionTest, FailuresOfTheInquiry) {
  const struct {
    emu::FaultKind kind;
    int result;
  } cases[] = {{emu::FaultKind::NotDelivered, pdk::kConnectionFailed},
               {emu::FaultKind::CheckCondition, pdk::kDeviceInternalError}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    Bench b(smallDrive());
    b.drive.injectFaults(c.kind, 1);
    DeviceParams p = usbDevice();
    EXPECT_EQ(C98Connection().inquireAndRecognize(p, true), c.result);
    EXPECT_EQ(p.status, pdk::kNotReady);
  }
  Bench b(smallDrive());
  DeviceParams p = usbDevice();
  pdk::setText(p.path, "\\\\.\\USBDISK9");
  EXPECT_EQ(C98Connection().inquireAndRecognize(p, true), pdk::kGeneralError);
  EXPECT_EQ(p.status, pdk::kNotConnected);
}

TEST(C98RecognitionTest, AFailedIdentifierRequestLeavesTheDriveNotReady) {
  for (emu::FaultKind kind : {emu::FaultKind::NotDelivered, emu::FaultKind::CheckCondition}) {
    Bench b(smallDrive());
    b.drive.injectFaults(kind, 1);
    DeviceParams p = usbDevice();
    EXPECT_EQ(C98Connection().reportIdentifier(p), pdk::kConnectionFailed);
    EXPECT_EQ(p.status, pdk::kNotReady);
    EXPECT_STREQ(p.serial, "");
  }
  Bench b(smallDrive());
  DeviceParams p = usbDevice();
  ASSERT_EQ(C98Connection().reportIdentifier(p), pdk::kOk);
  EXPECT_STREQ(p.serial, "0F3B27000042");
  EXPECT_EQ(p.usbVendorId, 0x0F3B);
  EXPECT_EQ(p.status, pdk::kOk);
  // The 98 SE driver takes a 46-byte answer: 41 of them are read.
  const auto log = b.drive.commandLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].dataLength, 46u);
}

}  // namespace
