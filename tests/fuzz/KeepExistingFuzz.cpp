// Fuzz target of keep-existing: whatever a drive holds in sector 0 and in the
// sector the formatter then reads as the old boot sector, a format run must
// end with 0 or a size error, stay inside the drive and write a sane volume.
// Built with libFuzzer the entry point is driven by the fuzzer; built without
// it, main() feeds a fixed pseudo-random corpus of mutated layouts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "BootImages.h"
#include "DeviceHandle.h"
#include "FatFormatter.h"
#include "FormatTemplate.h"
#include "PDKErrors.h"
#include "SilentConnection.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "keep_existing_fuzz: %s\n", what);
  std::abort();
}

// A drive in memory: sparse sectors, the fuzz bytes in the first two read.
class MemoryConnection : public SilentConnection {
 public:
  MemoryConnection(uint32_t kilobytes, std::map<uint32_t, std::vector<uint8_t>> sectors)
      : m_kilobytes(kilobytes), m_sectors(std::move(sectors)) {}
  int readCapacity(CDeviceHandle&, uint32_t* kb) override {
    *kb = m_kilobytes;
    return 0;
  }
  int write10(CDeviceHandle&, const uint8_t* b, uint32_t first, uint32_t n, uint32_t) override {
    if (n == 0 || n > 255) fail("transfer length out of range");
    if (static_cast<uint64_t>(first) + n > static_cast<uint64_t>(m_kilobytes) * 2)
      fail("write beyond the drive");
    for (uint32_t k = 0; k < n; ++k) m_sectors[first + k].assign(b + 512 * k, b + 512 * (k + 1));
    return 0;
  }
  int read10(CDeviceHandle&, uint8_t* b, uint32_t first, uint32_t n, uint32_t) override {
    if (n == 0 || n > 255) fail("transfer length out of range");
    for (uint32_t k = 0; k < n; ++k) {
      auto it = m_sectors.find(first + k);
      if (it == m_sectors.end())
        std::memset(b + 512 * k, 0, 512);
      else
        std::memcpy(b + 512 * k, it->second.data(), 512);
    }
    return 0;
  }

  const std::vector<uint8_t>* sector(uint32_t lba) const {
    auto it = m_sectors.find(lba);
    return it == m_sectors.end() ? nullptr : &it->second;
  }

 private:
  uint32_t m_kilobytes;
  std::map<uint32_t, std::vector<uint8_t>> m_sectors;
};

class KeepTemplate : public IFormatTemplate {
 public:
  bool writeMbr() override { return true; }
  bool bootable() override { return false; }
  bool keepExisting() override { return true; }
  int heads() override { return 0; }
  int sectorsPerTrack() override { return 0; }
  const uint8_t* mbrCode() override { return nullptr; }
  const uint8_t* bootSector() override { return nullptr; }
};

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

// Input: 1,024 bytes (sector 0, then the sector read as the old boot sector),
// then two bytes choosing the drive size (100 KB to 64 MB).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullPort port;
  pdk::setDevicePort(&port);
  std::vector<uint8_t> bytes(1026, 0);
  std::memcpy(bytes.data(), data, size < bytes.size() ? size : bytes.size());
  std::vector<uint8_t> zero(bytes.begin(), bytes.begin() + 512);

  // The parse alone: any bytes give one of three answers with a usable geometry.
  const CFatFormatter::Existing e = CFatFormatter::parseSectorZero(zero.data());
  if (e.kind == CFatFormatter::Existing::kPartitionTable &&
      (e.heads < 1 || e.heads > 16 || e.sectorsPerTrack < 3 || e.sectorsPerTrack > 63))
    fail("partition table geometry out of range");
  if (e.kind == CFatFormatter::Existing::kBootSector && (e.heads > 255 || e.sectorsPerTrack > 63))
    fail("boot sector geometry out of range");

  // A whole run over a drive holding those bytes.
  const uint32_t kilobytes = 100 + le16(bytes.data() + 1024) % 65436;
  std::map<uint32_t, std::vector<uint8_t>> sectors;
  sectors[0] = zero;
  const uint32_t second =
      e.kind == CFatFormatter::Existing::kPartitionTable ? e.sectorsPerTrack : 1;
  sectors[second].assign(bytes.begin() + 512, bytes.begin() + 1024);
  MemoryConnection drive(kilobytes, std::move(sectors));
  KeepTemplate keep;
  CFatFormatter f(drive);
  f.setTemplate(&keep);
  CDeviceHandle handle('E');
  const int rc = f.format(handle, nullptr, nullptr);
  if (f.isBusy()) fail("busy left set");
  if (rc != pdk::kOk && rc != pdk::kTooSmallToFormat) fail("unexpected result");
  if (rc != pdk::kOk) return 0;

  // The volume's boot sector lies where the run says and describes a volume
  // that fits the drive.
  const bool mbr = e.kind != CFatFormatter::Existing::kBootSector;
  const uint32_t start = mbr ? f.sectorsPerTrack() : 0;
  const std::vector<uint8_t>* boot = drive.sector(start);
  if (boot == nullptr) fail("no boot sector written");
  const uint8_t* b = boot->data();
  const uint32_t total =
      le16(b + 19) != 0
          ? le16(b + 19)
          : (b[32] | (b[33] << 8) | (b[34] << 16) | (static_cast<uint32_t>(b[35]) << 24));
  if (static_cast<uint64_t>(start) + total > static_cast<uint64_t>(kilobytes) * 2)
    fail("volume larger than the drive");
  if (b[510] != 0x55 || b[511] != 0xAA || b[21] != 0xF8 || b[38] != 0x29)
    fail("boot sector fields");
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

// Valid layouts the formatter itself writes, and a bare boot sector.
std::vector<uint8_t> seed(std::mt19937& random) {
  std::vector<uint8_t> s(1026, 0);
  const CBootImages::Image& boot = CBootImages::bootSector();
  if (random() % 2 == 0) {
    std::memcpy(s.data(), CBootImages::removableMbr().data(), 512);
    s[0x1BE] = random() % 2 ? 0x80 : 0;
    s[0x1C3] = static_cast<uint8_t>(random() % 16);
    s[0x1C4] = static_cast<uint8_t>(3 + random() % 61);
    std::memcpy(s.data() + 512, boot.data(), 512);
  } else {
    std::memcpy(s.data(), boot.data(), 512);
    std::memcpy(s.data() + 512, boot.data(), 512);
  }
  s[1024] = static_cast<uint8_t>(random());
  s[1025] = static_cast<uint8_t>(random());
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 2000);
  std::mt19937 random(20261210);
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::vector<uint8_t> input = seed(random);
    // Mutations where the parser looks, and elsewhere.
    const size_t hot[] = {0x15, 0x18, 0x19, 0x1A, 0x1B, 0x26, 0x1BE, 0x1C3, 0x1C4, 1024, 1025};
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int k = 0; k < edits; ++k) {
      const size_t at =
          random() % 3 ? hot[random() % (sizeof hot / sizeof hot[0])] : random() % input.size();
      input[at] = static_cast<uint8_t>(random());
    }
    driver.feed(input.data(), input.size());
  }
  const size_t stored = driver.replay();
  pdk::setDevicePort(nullptr);
  std::printf("keep_existing_fuzz: %lu inputs, %zu stored inputs\n", driver.runs(), stored);
  return 0;
}
#endif
