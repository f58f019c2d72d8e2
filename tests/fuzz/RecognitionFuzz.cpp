// Fuzz target of recognition: whatever a drive answers to INQUIRY, to the
// serial query and to REPORT DEVICE IDENTIFIER, the parsers stay inside their
// buffers, and a recognition run through the NT and the 98 SE transport ends
// with a code and a status that belong together and fields that are terminated
// texts. Built with libFuzzer the entry point is driven by the fuzzer; built
// without it, main() feeds a fixed pseudo-random corpus of mutated answers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "98Connection.h"
#include "CommandBlocks.h"
#include "DevicePort.h"
#include "IdentifierText.h"
#include "InquiryData.h"
#include "NTConnection.h"
#include "PDKErrors.h"
#include "SCSIStringAuthenticator.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "recognition_fuzz: %s\n", what);
  std::abort();
}

// Input layout: one byte of switches, then the three answers.
constexpr size_t kSwitches = 0;
constexpr size_t kInquiryAt = 1;
constexpr size_t kInquiryBytes = 40;
constexpr size_t kSerialAt = kInquiryAt + kInquiryBytes;
constexpr size_t kSerialBytes = 40;
constexpr size_t kIdentifierAt = kSerialAt + kSerialBytes;
constexpr size_t kIdentifierBytes = 100;
constexpr size_t kInputBytes = kIdentifierAt + kIdentifierBytes;

// Switch bits.
constexpr uint8_t kProductCheck = 0x01;
constexpr uint8_t kUse98 = 0x02;
constexpr uint8_t kInquiryFails = 0x04;
constexpr uint8_t kSerialFails = 0x08;
constexpr uint8_t kIdentifierFails = 0x10;
// Bits 5-7 pick how many INQUIRY bytes Windows says came back.
constexpr uint32_t kInquiryCounts[] = {36, 36, 36, 36, 33, 32, 20, 0};

// A driver that answers every request block from the fuzz input.
class AnswerPort : public pdk::IDevicePort {
 public:
  explicit AnswerPort(const std::vector<uint8_t>& input) : m_in(input) {}

  pdk::PDKHandle open(const char*, uint32_t*) override {
    return reinterpret_cast<pdk::PDKHandle>(1);
  }
  void close(pdk::PDKHandle) override {}

  bool control(pdk::PDKHandle, uint32_t code, void* in, uint32_t, void*, uint32_t outLength,
               uint32_t* returned) override {
    if (code == pdk::kIoctlScsiPassThrough) {
      auto* block = static_cast<pdk::ScsiBufferedBlock*>(in);
      const uint32_t offset = offsetof(pdk::ScsiBufferedBlock, data);
      if (block->header.dataTransferLength > sizeof(block->data)) fail("buffered data too long");
      if (outLength < offset + block->header.dataTransferLength) fail("buffered block too short");
      uint8_t status = 0;
      answer(block->header.cdb[0], block->data, block->header.dataTransferLength, &status);
      block->header.scsiStatus = status;
      *returned = offset + kInquiryCounts[m_in[kSwitches] >> 5];
      return true;
    }
    if (code == pdk::kIoctlScsiPassThroughDirect) {
      auto* block = static_cast<pdk::ScsiDirectBlock*>(in);
      uint8_t status = 0;
      answer(block->header.cdb[0], static_cast<uint8_t*>(block->header.dataBuffer),
             block->header.dataTransferLength, &status);
      block->header.scsiStatus = status;
      *returned = outLength;
      return true;
    }
    if (code == pdk::kIoctl98Command) {
      auto* block = static_cast<pdk::Usb98Block*>(in);
      answer(block->cdb[0], block->data, block->dataLength, block->status);
      *returned = sizeof(*block);
      return true;
    }
    fail("unexpected control code");
    return false;
  }

 private:
  void answer(uint8_t opcode, uint8_t* data, uint32_t length, uint8_t* status) const {
    size_t at = 0;
    size_t bytes = 0;
    uint8_t failBit = 0;
    switch (opcode) {
      case 0x12:
        at = kInquiryAt;
        bytes = kInquiryBytes;
        failBit = kInquiryFails;
        break;
      case 0xFF:
        at = kSerialAt;
        bytes = kSerialBytes;
        failBit = kSerialFails;
        break;
      case 0xA3:
        at = kIdentifierAt;
        bytes = kIdentifierBytes;
        failBit = kIdentifierFails;
        break;
      default:
        fail("unexpected command");
    }
    if (data == nullptr) fail("command without a data buffer");
    // The caller's buffer is exactly `length` long as far as the drive knows.
    std::memcpy(data, m_in.data() + at, length < bytes ? length : bytes);
    *status = (m_in[kSwitches] & failBit) ? 2 : 0;
  }

  const std::vector<uint8_t>& m_in;
};

template <size_t N>
void checkTerminated(const char (&field)[N], const char* what) {
  if (std::memchr(field, 0, N) == nullptr) fail(what);
}

bool endsInBlank(const std::string& s) { return !s.empty() && s.back() == ' '; }

void checkParsers(const uint8_t* data, size_t size) {
  // Exact-size copies, so AddressSanitizer sees any read past the answer.
  const std::vector<uint8_t> exact(data, data + size);

  const CInquiryData d(exact.data(), exact.size());
  if (d.vendor().size() > 8 || d.product().size() > 16 || d.revision().size() > 5)
    fail("INQUIRY field too long");
  if (endsInBlank(d.vendor()) || endsInBlank(d.product()) || endsInBlank(d.revision()))
    fail("trailing blank kept");
  for (const std::string* s : {&d.vendor(), &d.product(), &d.revision()}) {
    if (s->find('\0') != std::string::npos) fail("NUL inside an INQUIRY field");
  }
  CInquiryData::revisionIdentifies(d.revision().c_str());

  const CIdentifierText t(exact.data(), exact.size());
  size_t letters = 0;
  for (const std::string& w : t.words()) {
    if (w.empty() || w.find_first_of(std::string(" \t\n\0", 4)) != std::string::npos)
      fail("identifier word with a separator");
    letters += w.size();
  }
  if (letters > CIdentifierText::kKeptBytes - CIdentifierText::kTextOffset)
    fail("identifier read past the kept bytes");
  DeviceParams p;
  if (t.applyTo(p) != t.namesDrive()) fail("applyTo disagrees with namesDrive");
  checkTerminated(p.serial, "identifier serial not terminated");
  if (t.namesDrive() && t.serial() != p.serial) fail("identifier serial changed");

  std::string serial;
  if (CSCSIStringAuthenticator::serialFromAnswer(exact.data(), exact.size(), &serial) &&
      serial.size() >= sizeof(p.serial))
    fail("serial accepted that does not fit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkParsers(data, size);

  std::vector<uint8_t> input(kInputBytes, 0);
  std::memcpy(input.data(), data, size < input.size() ? size : input.size());
  const uint8_t switches = input[kSwitches];
  const bool productCheck = (switches & kProductCheck) != 0;

  AnswerPort port(input);
  pdk::setDevicePort(&port);
  DeviceParams p = DeviceParams::forLetter('E');
  pdk::setText(p.path, "\\\\.\\USBDISK0");
  int result = 0;
  if (switches & kUse98) {
    result = C98Connection().inquireAndRecognize(p, productCheck);
  } else {
    result = CNTConnection().inquireAndRecognize(p, productCheck);
  }
  pdk::setDevicePort(nullptr);

  checkTerminated(p.vendor, "vendor not terminated");
  checkTerminated(p.product, "product not terminated");
  checkTerminated(p.revision, "revision not terminated");
  checkTerminated(p.serial, "serial not terminated");
  switch (result) {
    case pdk::kOk: {
      if (p.status != pdk::kOk) fail("recognised with a status");
      // Accepted by its INQUIRY answer, or (98 SE only) by its identifier.
      const bool namesDrive = std::strstr(p.product, "Plunda") != nullptr ||
                              std::strstr(p.product, "Storage Media") != nullptr;
      const bool byInquiry = p.product[0] != '\0' && !CInquiryData::revisionRefused(p.revision) &&
                             (!productCheck || namesDrive);
      const bool byIdentifier = p.usbVendorId == CIdentifierText::kMakerUsbVendorId;
      if (!byInquiry && !byIdentifier) fail("recognised without a reason");
      if (byIdentifier && (!(switches & kUse98) || !CInquiryData::revisionIdentifies(p.revision)))
        fail("identifier asked where it must not be");
      break;
    }
    case pdk::kNotAuthenticated:
      if (p.status != pdk::kNotAuthenticated) fail("refused without status 9");
      if (p.serial[0] != '\0') fail("refused drive kept a serial");
      break;
    case pdk::kGeneralError:
      if ((switches & kUse98) || p.status != pdk::kNotReady) fail("short answer not 11");
      if (kInquiryCounts[switches >> 5] >= 33) fail("a full answer counted as short");
      break;
    case pdk::kDeviceInternalError:
      if (p.status != pdk::kNotReady || !(switches & kInquiryFails)) fail("failed INQUIRY");
      break;
    default:
      fail("unexpected result");
  }
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

void put(std::vector<uint8_t>& in, size_t at, const std::string& text) {
  std::memcpy(in.data() + at, text.data(), text.size());
}

// Answers of a drive that is accepted or identifies itself.
std::vector<uint8_t> seed(std::mt19937& random) {
  std::vector<uint8_t> in(kInputBytes, 0);
  in[kSwitches] = static_cast<uint8_t>(random() & 0x03);
  const char* products[] = {"Plunda Drive    ", "My Storage Media", "Other Disk      ",
                            "                "};
  const char* revisions[] = {"2.70", "2.60", "3.00", "1.20", "2.7 "};
  put(in, kInquiryAt + 8, "VANTREL ");
  put(in, kInquiryAt + 16, products[random() % 4]);
  put(in, kInquiryAt + 32, revisions[random() % 5]);
  const std::string serial = "0F3B2700" + std::to_string(random() % 10000);
  put(in, kSerialAt, "SN\x01\x0C\x00\x00");
  put(in, kSerialAt + 6, serial);
  const std::string text = "Vantrel Plunda " + serial;
  in[kIdentifierAt + 3] = static_cast<uint8_t>(text.size());
  put(in, kIdentifierAt + 4, text);
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 20000);
  std::mt19937 random(20260315);
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::vector<uint8_t> input = seed(random);
    // Mutations where the parsers look (switches, product, revision, the ends
    // of the serial and identifier texts), and anywhere.
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int k = 0; k < edits; ++k) {
      size_t at = 0;
      switch (random() % 5) {
        case 0:
          at = kSwitches;
          break;
        case 1:
          at = kInquiryAt + 16 + random() % 21;
          break;
        case 2:
          at = kSerialAt + 6 + random() % 34;
          break;
        case 3:
          at = kIdentifierAt + 4 + random() % 40;
          break;
        default:
          at = random() % input.size();
      }
      const uint8_t picks[] = {0, ' ', '\t', '\n', '1', '2', '3', '7', 'S', 0xFF};
      input[at] = random() % 2 ? picks[random() % sizeof(picks)] : static_cast<uint8_t>(random());
    }
    // Inputs of every length, too: the parsers see the exact size.
    const size_t size = random() % 8 == 0 ? random() % input.size() : input.size();
    driver.feed(input.data(), size);
  }
  const size_t stored = driver.replay();
  std::printf("recognition_fuzz: %lu inputs, %zu stored inputs\n", driver.runs(), stored);
  return 0;
}
#endif
