// Fuzz target of the visible-partition lookup: whatever a drive holds in
// sector 0, in the boot sector of a volume and in its root directory, the
// root listing of each of the drive's letters and the partition the device
// object reports for it agree with a plain walk of those sectors, and no read
// leaves the sectors it concerns. Built with libFuzzer the entry point is
// driven by the fuzzer; built without it, main() feeds a fixed pseudo-random
// corpus of mutated layouts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Connection.h"
#include "ConnectionSingleton.h"
#include "DebugOutput.h"
#include "DeviceParams.h"
#include "EmuDevicePort.h"
#include "EmulatedDrive.h"
#include "OSKind.h"
#include "PDK.h"
#include "PDKErrors.h"
#include "sdk/PDKSDK.h"
#include "sdk/core/PDKSDK.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "visible_partition_fuzz: %s\n", what);
  std::abort();
}

constexpr uint32_t kSectors = 16384;
constexpr int kLetters = 4;  // E to H: never the drive's whole mask, so the lookup lists the root
constexpr size_t kRootSectors = 4;
// Input layout: a byte choosing the letter, sector 0, the boot sector, the
// first sectors of the root directory.
constexpr size_t kZeroAt = 1;
constexpr size_t kBootAt = kZeroAt + 512;
constexpr size_t kRootAt = kBootAt + 512;
constexpr size_t kInputBytes = kRootAt + 512 * kRootSectors;

// The drive and the device object attached to it, made once.
struct Rig {
  Rig() : drive(config()) {
    pdkos::setDebugOutputHook([](const char*) {});
    setOSKindForTesting(pdk::kOSWinNT4);
    PDKSDK_init();
    pdk::setDevicePort(&port);
    DeviceParams p = DeviceParams::forLetter('E');
    for (int i = 0; i < kLetters; ++i) {
      port.attach(char('E' + i), &drive);
      p.driveMask |= pdk::letterBit(char('E' + i));
    }
    p.removable = 1;
    if (CConnectionSingleton::instance().inquireAndRecognize(p, true) != pdk::kOk)
      fail("the drive is not recognised");
    CPDKSDK::instance().deviceArrival(p);
    DeviceParams held;
    if (!CPDKSDK::instance().findByLetter('E', &held) || !device.attachDevice(held))
      fail("the device object does not attach");
  }
  static emu::DriveConfig config() {
    emu::DriveConfig c;
    c.serial = "0F3B27000042";
    c.revision = "3.10";
    c.sectorCount = kSectors;
    c.commandLogCapacity = 1;
    return c;
  }
  // Puts the bytes at a sector of the drive (nothing beyond its end).
  void put(uint32_t lba, const uint8_t* bytes) {
    if (lba >= kSectors) return;
    drive.setSector(lba, bytes);
    written.insert(lba);
  }
  void clear() {
    const uint8_t zeros[512] = {};
    for (uint32_t lba : written) drive.setSector(lba, zeros);
    written.clear();
  }

  emu::CEmuDevicePort port;
  emu::CEmulatedDrive drive;
  CPDK device;
  std::set<uint32_t> written;
};

// Layouts whose listing held a marker: the native run shows it reaches them.
unsigned long g_marked = 0;

Rig& rig() {
  static Rig r;
  return r;
}

// The plain walk, on the flash itself rather than through commands.
uint32_t le16(const std::vector<uint8_t>& s, size_t at) { return s[at] | s[at + 1] << 8; }
uint32_t le32(const std::vector<uint8_t>& s, size_t at) {
  return le16(s, at) | le16(s, at + 2) << 16;
}
bool readFlash(uint64_t lba, std::vector<uint8_t>& out) {
  if (lba >= kSectors) return false;
  out = rig().drive.sector(static_cast<uint32_t>(lba));
  return true;
}
bool bootSector(const std::vector<uint8_t>& s) {
  return s[510] == 0x55 && s[511] == 0xAA && (s[0] == 0xEB || s[0] == 0xE9) &&
         le16(s, 11) == 512 && s[13] != 0 && s[16] != 0;
}
// Where the n-th volume's boot sector lies by sector 0; false for none.
bool volumeStart(int n, uint64_t& start) {
  std::vector<uint8_t> zero;
  if (!readFlash(0, zero)) return false;
  if (bootSector(zero)) {
    start = 0;
    return n == 0;
  }
  if (zero[510] != 0x55 || zero[511] != 0xAA) return false;
  int seen = 0;
  for (int e = 0; e < 4; ++e) {
    const size_t at = 446 + 16 * e;
    if (zero[at + 4] == 0 || le32(zero, at + 12) == 0) continue;
    if (seen++ == n) {
      start = le32(zero, at + 8);
      return true;
    }
  }
  return false;
}
std::string trimmed(const std::vector<uint8_t>& s, size_t at, size_t length) {
  while (length > 0 && s[at + length - 1] == ' ') --length;
  return std::string(reinterpret_cast<const char*>(s.data() + at), length);
}
std::vector<std::string> plainRoot(int n) {
  std::vector<std::string> names;
  uint64_t start = 0;
  std::vector<uint8_t> boot;
  if (!volumeStart(n, start) || !readFlash(start, boot) || !bootSector(boot)) return names;
  const uint64_t first = start + le16(boot, 14) + uint64_t(boot[16]) * le16(boot, 22);
  const uint64_t count = (uint64_t(le16(boot, 17)) * 32 + 511) / 512;
  std::vector<uint8_t> sector;
  for (uint64_t i = 0; i < count; ++i) {
    if (!readFlash(first + i, sector)) return names;
    for (size_t at = 0; at < 512; at += 32) {
      if (sector[at] == 0) return names;
      const uint8_t attributes = sector[at + 11];
      if (sector[at] == 0xE5 || (attributes & 0x0F) == 0x0F || (attributes & 0x08)) continue;
      const std::string base = trimmed(sector, at, 8), ext = trimmed(sector, at + 8, 3);
      names.push_back(ext.empty() ? base : base + "." + ext);
    }
  }
  return names;
}
// The first marker of the listing: 0 public, 1 dummy, 2 safe; -1 none.
int plainMarker(const std::vector<std::string>& names) {
  const char* markers[] = {".PUBLIC", ".DUMMY", ".SAFE"};
  for (const std::string& name : names) {
    std::string upper = name;
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    for (int m = 0; m < 3; ++m)
      if (upper == markers[m]) return m;
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Rig& r = rig();
  std::vector<uint8_t> in(kInputBytes, 0);
  std::memcpy(in.data(), data, size < in.size() ? size : in.size());
  const int volume = in[0] % kLetters;
  const char letter = char('E' + volume);

  // The sectors where a walk of these bytes looks: root first, so the boot
  // sector and sector 0 stay as given where they overlap it.
  std::vector<uint8_t> zero(in.begin() + kZeroAt, in.begin() + kBootAt);
  std::vector<uint8_t> boot(in.begin() + kBootAt, in.begin() + kRootAt);
  r.clear();
  r.put(0, zero.data());
  uint64_t start = 0;
  if (volumeStart(volume, start) && start != 0 && start < kSectors) {
    if (bootSector(boot)) {
      const uint64_t first = start + le16(boot, 14) + uint64_t(boot[16]) * le16(boot, 22);
      for (size_t i = 0; i < kRootSectors && first + i < kSectors; ++i)
        r.put(static_cast<uint32_t>(first + i), in.data() + kRootAt + 512 * i);
    }
    r.put(static_cast<uint32_t>(start), boot.data());
  } else if (start == 0 && bootSector(zero)) {
    const uint64_t first = le16(zero, 14) + uint64_t(zero[16]) * le16(zero, 22);
    for (size_t i = 0; i < kRootSectors && first + i < kSectors; ++i)
      if (first + i != 0) r.put(static_cast<uint32_t>(first + i), in.data() + kRootAt + 512 * i);
  }

  const std::vector<std::string> expected = plainRoot(volume);
  if (r.port.rootEntries(letter) != expected) fail("root listing disagrees with a plain walk");
  int state = -1;
  const int rc = r.device.getVisiblePartition(letter, state);
  const int marker = plainMarker(expected);
  g_marked += marker >= 0;
  if (marker < 0 ? rc != pdk::kBadDriveLetter : (rc != pdk::kOk || state != marker))
    fail("visible partition disagrees with the listing");
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "BootImages.h"
#include "FuzzDriver.h"

namespace {

void putWord(std::vector<uint8_t>& in, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) in[at + i] = uint8_t(v >> (8 * i));
}

void entry(std::vector<uint8_t>& in, size_t slot, const char* name, uint8_t attributes) {
  uint8_t* e = in.data() + kRootAt + 32 * slot;
  std::memset(e, ' ', 11);
  std::memcpy(e, name, std::strlen(name) < 11 ? std::strlen(name) : 11);
  e[11] = attributes;
}

// Layouts the formatter writes: a partition table with one to three volumes
// or a bare boot sector, and a root holding a label, files and a marker.
std::vector<uint8_t> seed(std::mt19937& random) {
  std::vector<uint8_t> in(kInputBytes, 0);
  in[0] = uint8_t(random() % kLetters);
  const uint8_t* boot = CBootImages::bootSector().data();
  std::memcpy(in.data() + kBootAt, boot, 512);
  if (random() % 4 == 0) {
    std::memcpy(in.data() + kZeroAt, boot, 512);
  } else {
    std::memcpy(in.data() + kZeroAt, CBootImages::removableMbr().data(), 512);
    const int volumes = 1 + int(random() % 3);
    for (int v = 0; v < volumes; ++v) {
      const size_t at = kZeroAt + 446 + 16 * v;
      in[at + 4] = 0x06;
      putWord(in, at + 8, 32 + 4000 * v + random() % 64);
      putWord(in, at + 12, 3000 + random() % 1000);
    }
  }
  const char* names[] = {".PUBLIC", ".DUMMY", ".SAFE", "AUTORUN INF", "MY PROFILE", "NO NAME"};
  const size_t count = random() % 12;
  for (size_t slot = 0; slot < count; ++slot) {
    const uint8_t attributes[] = {0x20, 0x10, 0x08, 0x0F, 0x02, 0x20};
    entry(in, slot, names[random() % 6], attributes[random() % 6]);
    if (random() % 8 == 0) in[kRootAt + 32 * slot] = 0xE5;
  }
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 3000);
  std::mt19937 random(20261211);
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::vector<uint8_t> in = seed(random);
    // Where the lookup reads: the boot sector's counts, the table's entries,
    // the entries' first bytes and attributes; and anywhere.
    const size_t hot[] = {kBootAt + 13, kBootAt + 14, kBootAt + 16, kBootAt + 17, kBootAt + 18,
                          kBootAt + 22, kZeroAt + 446 + 4, kZeroAt + 446 + 8, kZeroAt + 446 + 12,
                          kZeroAt + 510, kRootAt, kRootAt + 11, kRootAt + 32, kRootAt + 43};
    const int edits = int(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % 2 ? hot[random() % (sizeof hot / sizeof hot[0])]
                                     : random() % in.size();
      in[at] = uint8_t(random());
    }
    driver.feed(in.data(), in.size());
  }
  const size_t stored = driver.replay();
  rig().device.detachDevice();
  std::printf("visible_partition_fuzz: %lu layouts, %zu stored inputs, %lu with a marker\n",
              driver.runs(), stored, g_marked);
  return 0;
}
#endif
