// Fuzz target of the reading of the vendor command's answers: whatever a drive
// answers to the privacy-zone record, the LUN mode, the configuration block
// and the serial query, the handlers of removable and fixed drives and the
// device object ask for no more than the answer's length, write nothing
// outside their buffers, and report sizes, capacities, states and serials that
// agree with a plain decoding of the answer, or an error. Built with
// libFuzzer the entry point is driven by the fuzzer; built without it, main()
// feeds a fixed pseudo-random corpus of mutated records.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "DebugOutput.h"
#include "DepositHandler.h"
#include "DeviceHandle.h"
#include "FixDiskDepositHdl.h"
#include "PDKErrors.h"
#include "PDKImpl.h"
#include "SilentConnection.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "vendor_answer_fuzz: %s\n", what);
  std::abort();
}

// Input layout: a byte of switches, the record's 28 bytes, the LUN mode's 4,
// the capacity in kilobytes (4), the configuration block (16), the serial
// answer (40).
constexpr size_t kSwitches = 0;
constexpr size_t kRecordAt = 1;
constexpr size_t kRecordBytes = 28;
constexpr size_t kLunAt = kRecordAt + kRecordBytes;
constexpr size_t kCapacityAt = kLunAt + 4;
constexpr size_t kConfigAt = kCapacityAt + 4;
constexpr size_t kSerialAt = kConfigAt + CPDKImpl::kConfigBlockLength;
constexpr size_t kSerialBytes = 40;
constexpr size_t kSerialTextOffset = 6;
constexpr size_t kInputBytes = kSerialAt + kSerialBytes;

constexpr uint8_t kFixed = 0x01;
constexpr uint8_t kRecordFails = 0x02;
constexpr uint8_t kLunFails = 0x04;
constexpr uint8_t kConfigFails = 0x08;
constexpr uint8_t kOldFirmware = 0x10;  // no configuration block before revision 3
constexpr uint8_t kSerialFails = 0x20;

uint32_t word(const std::vector<uint8_t>& in, size_t at) {
  return uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 |
         uint32_t(in[at + 3]) << 24;
}

// Answers the record and the LUN mode from the input, into exactly as many
// bytes as the command asks for (ASan sees a buffer shorter than that).
class AnswerConnection : public SilentConnection {
 public:
  explicit AnswerConnection(const std::vector<uint8_t>& input) : m_in(input) {}

  int readCapacity(CDeviceHandle&, uint32_t* kilobytes) override {
    *kilobytes = word(m_in, kCapacityAt);
    return 0;
  }
  int vendorIn(CDeviceHandle&, uint16_t subCode, uint32_t paramLength, const uint8_t*,
               uint32_t dataLength, uint8_t* data, uint32_t) override {
    if (paramLength != 0) fail("parameters sent with a query");
    const bool fixed = (m_in[kSwitches] & kFixed) != 0;
    const uint16_t recordCode =
        fixed ? CFixDiskDepositHdl::kSubCodeRecord : CDepositHandler::kSubCodeRecord;
    size_t at = 0;
    size_t available = 0;
    if (subCode == recordCode) {
      if (m_in[kSwitches] & kRecordFails) return kSilent;
      if (dataLength != (fixed ? 28u : 20u)) fail("record read with the wrong length");
      at = kRecordAt;
      available = kRecordBytes;
    } else if (subCode == CPDKImpl::kSubCodeSerial) {
      if (m_in[kSwitches] & kSerialFails) return kSilent;
      if (dataLength != kSerialBytes) fail("serial read with the wrong length");
      at = kSerialAt;
      available = kSerialBytes;
    } else if (subCode == CPDKImpl::kSubCodeConfigRead) {
      if (m_in[kSwitches] & kOldFirmware) fail("configuration block asked of old firmware");
      if (m_in[kSwitches] & kConfigFails) return kSilent;
      if (dataLength != CPDKImpl::kConfigBlockLength)
        fail("configuration read with the wrong length");
      at = kConfigAt;
      available = CPDKImpl::kConfigBlockLength;
    } else if (fixed && subCode == CFixDiskDepositHdl::kSubCodeGetLunMode) {
      if (m_in[kSwitches] & kLunFails) return kSilent;
      if (dataLength != 4) fail("LUN mode read with the wrong length");
      at = kLunAt;
      available = 4;
    } else {
      fail("unexpected query");
    }
    std::memcpy(data, m_in.data() + at, dataLength < available ? dataLength : available);
    return 0;
  }

 private:
  const std::vector<uint8_t>& m_in;
};

void checkRemovable(CDepositHandler& h, CDeviceHandle& dev, const std::vector<uint8_t>& in) {
  const uint32_t w[5] = {word(in, 1), word(in, 5), word(in, 9), word(in, 13), word(in, 17)};
  int64_t publicBytes = -1, safeBytes = -1, dummyBytes = -1;
  const int rc = h.getPartitionSizes(dev, publicBytes, safeBytes, dummyBytes);
  if (in[kSwitches] & kRecordFails) {
    if (rc == pdk::kOk) fail("failed record read reported as success");
    return;
  }
  if (w[2] > w[1]) {
    // A safe partition larger than the drive: a damaged answer.
    if (rc == pdk::kOk) fail("impossible record reported as sizes");
    return;
  }
  if (rc != pdk::kOk) fail("a sane record refused");
  if (safeBytes != int64_t(w[2]) * 512 || dummyBytes != 0 ||
      publicBytes + safeBytes != int64_t(w[1]) * 512)
    fail("removable sizes disagree with the record");
  bool inSafe = false, exists = false, flag = false;
  if (h.isInSafePartition(dev, inSafe) != pdk::kOk || inSafe != (w[3] != 0))
    fail("presented partition disagrees with the record");
  if (h.safePartitionExist(dev, exists) != pdk::kOk || exists != (w[2] != 0))
    fail("safe partition disagrees with the record");
  if (h.depositFlag(dev, flag) != pdk::kOk || flag != (w[0] != 0))
    fail("privacy flag disagrees with the record");
  if (h.getLunMode(dev) != -1) fail("a removable drive has a LUN mode");
}

void checkFixed(CFixDiskDepositHdl& h, CDeviceHandle& dev, const std::vector<uint8_t>& in) {
  uint32_t w[7];
  for (int i = 0; i < 7; ++i) w[i] = word(in, kRecordAt + 4 * i);
  const bool recordFails = (in[kSwitches] & kRecordFails) != 0;

  // The plain reading: units of w1 * w2 sectors; w0 of them in all, w4 safe, w5 dummy.
  const unsigned __int128 unit = (unsigned __int128)w[1] * w[2];
  const unsigned __int128 total = w[0] * unit, safe = w[4] * unit, dummy = w[5] * unit;
  const bool sane = unit <= 0xFFFFFFFFu && total <= 0xFFFFFFFFu && safe + dummy <= total;

  int64_t publicBytes = -1, safeBytes = -1, dummyBytes = -1;
  const int rc = h.getPartitionSizes(dev, publicBytes, safeBytes, dummyBytes);
  if (recordFails || !sane) {
    if (rc == pdk::kOk) fail("failed or impossible record reported as sizes");
  } else {
    if (rc != pdk::kOk) fail("a sane record refused");
    if (safeBytes != int64_t(safe * 512) || dummyBytes != int64_t(dummy * 512) ||
        publicBytes != int64_t((total - safe - dummy) * 512))
      fail("fixed-disk sizes disagree with the record");
  }
  bool inSafe = false, exists = false;
  const int inRc = h.isInSafePartition(dev, inSafe);
  const int existsRc = h.safePartitionExist(dev, exists);
  if ((inRc == pdk::kOk) != (rc == pdk::kOk) || (existsRc == pdk::kOk) != (rc == pdk::kOk))
    fail("queries of one record disagree on its validity");
  if (rc == pdk::kOk && (inSafe != (w[6] != 0) || exists != (w[4] != 0)))
    fail("fixed-disk states disagree with the record");

  int64_t minSafe = -1, minDummy = -1;
  if (h.minPartitionSize(dev, minSafe, minDummy) == pdk::kOk) {
    if (rc != pdk::kOk) fail("limits from a record the sizes refused");
    if (minSafe < 0 || minDummy < 0) fail("negative limits");
  }
  const int lun = h.getLunMode(dev);
  if ((in[kSwitches] & kLunFails) ? lun != -1 : lun != int(word(in, kLunAt)))
    fail("LUN mode disagrees with the answer");
}

// The device object's capacity, serial and write protection.
void checkDeviceObject(AnswerConnection& connection, DeviceParams params,
                       const std::vector<uint8_t>& in) {
  pdk::setText(params.revision, (in[kSwitches] & kOldFirmware) ? "2.70" : "3.10");
  CPDKImpl device(&connection);
  device.setParams(params);

  // Capacity: sectors of a removable record, or units of a fixed one.
  const unsigned __int128 capacity =
      params.removable != 0 ? (unsigned __int128)word(in, kRecordAt + 4) * 512
                            : (unsigned __int128)word(in, kRecordAt) * word(in, kRecordAt + 4) *
                                  word(in, kRecordAt + 8) * 512;
  int32_t bytes = -1;
  const int capacityRc = device.getCapacity(bytes);
  if (in[kSwitches] & kRecordFails) {
    if (capacityRc == pdk::kOk) fail("failed record read reported as a capacity");
  } else if (capacity > INT32_MAX) {
    if (capacityRc == pdk::kOk) fail("a capacity beyond 2 GB reported");
  } else if (capacityRc == pdk::kOk ? bytes != int32_t(capacity) : capacity != 0) {
    // A record with a factor of 0 may be refused: its other factors can pass 2 GB.
    fail("capacity disagrees with the record");
  }

  // Serial: the answer's text from its offset to its first NUL, as far as
  // the field holds it.
  char serial[64];
  uint32_t length = sizeof serial;
  const int serialRc = device.getSerial(serial, length);
  if (in[kSwitches] & kSerialFails) {
    if (serialRc == pdk::kOk) fail("failed serial read reported as success");
  } else {
    std::string expected;
    for (size_t i = kSerialAt + kSerialTextOffset; i < kSerialAt + kSerialBytes && in[i] != 0; ++i)
      expected += char(in[i]);
    expected = expected.substr(0, sizeof(DeviceParams().serial) - 1);
    if (serialRc != pdk::kOk || expected != serial) fail("serial disagrees with the answer");
  }

  int writeProtected = -1;
  const int rc = device.isWriteProtected(writeProtected);
  if (in[kSwitches] & kOldFirmware) {
    if (rc != pdk::kNotSupported) fail("write protection of old firmware");
  } else if (in[kSwitches] & kConfigFails) {
    if (rc == pdk::kOk) fail("failed configuration read reported as success");
  } else if (rc != pdk::kOk || writeProtected != ((in[kConfigAt + 8] & 0x02) ? 1 : 0)) {
    fail("write protection disagrees with the configuration block");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullPort port;
  pdk::setDevicePort(&port);
  // The trace lines of refused answers would cost more than the parsing.
  pdkos::setDebugOutputHook([](const char*) {});
  std::vector<uint8_t> input(kInputBytes, 0);
  std::memcpy(input.data(), data, size < input.size() ? size : input.size());

  AnswerConnection connection(input);
  DeviceParams params = DeviceParams::forLetter('E');
  CDeviceHandle dev(params);
  if (input[kSwitches] & kFixed) {
    params.removable = 0;
    CFixDiskDepositHdl handler(connection, params);
    checkFixed(handler, dev, input);
  } else {
    params.removable = 1;
    CDepositHandler handler(connection, params);
    checkRemovable(handler, dev, input);
  }
  checkDeviceObject(connection, params, input);
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

void putWord(std::vector<uint8_t>& in, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) in[at + i] = uint8_t(value >> (8 * i));
}

// Records as drives report them: removable sizes in sectors, fixed sizes in
// units of a few thousand sectors.
std::vector<uint8_t> seed(std::mt19937& random) {
  std::vector<uint8_t> in(kInputBytes, 0);
  in[kSwitches] = uint8_t(random() % 32);
  if (in[kSwitches] & kFixed) {
    const uint32_t units = 16 + random() % 240;
    putWord(in, kRecordAt, units);
    putWord(in, kRecordAt + 4, 64);
    putWord(in, kRecordAt + 8, 1 + random() % 64);
    putWord(in, kRecordAt + 16, random() % (units / 2));
    putWord(in, kRecordAt + 20, random() % (units / 4));
    putWord(in, kRecordAt + 24, random() % 2);
    putWord(in, kLunAt, random() % 3);
  } else {
    const uint32_t sectors = 4096 + random() % 1000000;
    putWord(in, kRecordAt, random() % 2);
    putWord(in, kRecordAt + 4, sectors);
    putWord(in, kRecordAt + 8, random() % sectors);
    putWord(in, kRecordAt + 12, random() % 2);
  }
  putWord(in, kCapacityAt, 2048 + random() % 4000000);
  in[kConfigAt + 8] = uint8_t(random() % 4);
  const char* serial = "0F3B27000042";
  std::memcpy(in.data() + kSerialAt + kSerialTextOffset, serial, std::strlen(serial));
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 20000);
  std::mt19937 random(20261210);
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::vector<uint8_t> in = seed(random);
    const int edits = int(random() % 4);
    for (int e = 0; e < edits; ++e) {
      // Whole words of the record, and single bytes anywhere.
      if (random() % 2) {
        putWord(in, kRecordAt + 4 * (random() % 7), uint32_t(random()));
      } else {
        in[random() % in.size()] = uint8_t(random());
      }
    }
    driver.feed(in.data(), random() % 16 == 0 ? random() % in.size() : in.size());
  }
  const size_t stored = driver.replay();
  std::printf("vendor_answer_fuzz: %lu records, %zu stored inputs\n", driver.runs(), stored);
  return 0;
}
#endif
