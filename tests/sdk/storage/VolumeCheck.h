// The volumes the SDK writes, checked by independent programs: fsck.fat on a
// volume on its own, mtools on the whole disk at the volume's offset. A Disk
// is anything with Sector read(uint32_t lba) giving the sectors the host sees.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "RunCommand.h"

using Sector = std::vector<uint8_t>;

inline uint32_t le16(const Sector& s, size_t at) { return s[at] | (s[at + 1] << 8); }
inline uint32_t le32(const Sector& s, size_t at) {
  return le16(s, at) | (static_cast<uint32_t>(le16(s, at + 2)) << 16);
}

inline bool checkersPresent() {
  std::string out;
  runCommand("fsck.fat --help", &out);  // prints its usage and exits non-zero
  if (out.find("Usage") == std::string::npos) return false;
  return runCommand("mdir --version", &out) && runCommand("mcopy --version", &out) &&
         runCommand("minfo --version", &out);
}

#define SKIP_WITHOUT_CHECKERS()                                                        \
  if (!checkersPresent())                                                              \
  GTEST_SKIP() << "fsck.fat and mtools cannot be run here (under Wine they are Linux " \
                  "programs; the native run checks the volumes with them)"

inline std::string tempName(const std::string& what) {
  return ::testing::TempDir() + "fatfmt_" + what + "_" + std::to_string(std::random_device{}());
}

// Writes sectors [first, first + used) of the drive into a sparse file of
// `size` sectors, sector `first` at sector `at` of the file. Only the
// formatter's metadata is non-zero, so the rest is left as holes.
template <typename Disk>
std::string dump(Disk& b, uint32_t first, uint32_t used, uint32_t size, const std::string& what,
                 uint32_t at = 0) {
  const std::string path = tempName(what);
  std::ofstream out(path, std::ios::binary);
  out.seekp(static_cast<std::streamoff>(size) * 512 - 1);
  out.put('\0');
  const Sector zero(512, 0);
  for (uint32_t k = 0; k < used && at + k < size; ++k) {
    const Sector s = b.read(first + k);
    if (s == zero) continue;
    out.seekp(static_cast<std::streamoff>(at + k) * 512);
    out.write(reinterpret_cast<const char*>(s.data()), 512);
  }
  return path;
}

// What the last mdir printed.
inline std::string lastListing;

// The sectors a volume's metadata takes, read from its boot sector.
inline uint32_t metadataSectors(const Sector& boot) { return 1 + 2 * le16(boot, 22) + 32; }
inline uint32_t volumeSectors(const Sector& boot) {
  return le16(boot, 19) != 0 ? le16(boot, 19) : le32(boot, 32);
}

// The findings fsck.fat 4.2 makes on every volume of this layout, whatever
// the formatter does within it: a boot-sector label without a label entry in
// the root directory (a whole-drive format writes an empty root), a boot label
// of fewer than 11 characters, which is zero padded (not valid to fsck.fat, and
// unlike the space-padded root entry), and the marker names, which begin with a
// dot. Any other finding fails.
struct Tolerated {
  bool labelWithoutEntry = false;
  bool labelPadding = false;
  std::string marker;
};

inline void expectFsckClean(const std::string& out, bool passed, const std::string& image,
                     const Tolerated& t) {
  std::istringstream lines(out);
  std::string line;
  bool body = false, complaint = false, lastTolerated = false, afterPath = false;
  while (std::getline(lines, line)) {
    if (!body) {
      body = line.find("sectors total") != std::string::npos;
      continue;
    }
    if (line.empty() || line.rfind("Checking", 0) == 0 || line.rfind("Leaving", 0) == 0 ||
        line.rfind(image, 0) == 0) {
      continue;
    }
    // A finding about one file: its path, then the finding indented.
    if (line.rfind("/", 0) == 0) {
      afterPath = true;
      continue;
    }
    if (line.rfind("  ", 0) == 0 && !afterPath) {
      EXPECT_TRUE(lastTolerated) << line << "\n" << out;
      continue;
    }
    afterPath = false;
    complaint = true;
    lastTolerated =
        (t.labelWithoutEntry &&
         line.find("but there is no volume label in root directory") != std::string::npos) ||
        (t.labelPadding &&
         (line.find("stored in root directory and label") != std::string::npos ||
          line.find("stored in boot sector is not valid") != std::string::npos)) ||
        (!t.marker.empty() &&
         line.find("Bad short file name (" + t.marker + ")") != std::string::npos);
    EXPECT_TRUE(lastTolerated) << line << "\n" << out;
  }
  EXPECT_TRUE(body) << out;
  if (!complaint) {
    EXPECT_TRUE(passed) << out;
  }
}

// fsck.fat on the volume alone, then mtools on the whole disk at its offset:
// label and FAT type, the listing, a file of several clusters copied in and out.
template <typename Disk>
void checkVolume(Disk& b, uint32_t diskSectors, uint32_t start, const std::string& label,
                 const std::string& fatType, const Tolerated& tolerated,
                 const char* listOptions = "") {
  const Sector boot = b.read(start);
  const uint32_t n = volumeSectors(boot);
  const std::string part = dump(b, start, metadataSectors(boot), n, "part");
  std::string out;
  const bool passed = runCommand("fsck.fat -n -v " + part, &out);
  expectFsckClean(out, passed, part, tolerated);
  EXPECT_NE(out.find(std::string("2 FATs, ") + (fatType == "FAT12" ? "12" : "16") + " bit entries"),
            std::string::npos)
      << out;
  std::remove(part.c_str());

  // Only the master boot record and the volume's own metadata: a volume far
  // into a large disk would otherwise cost a read of every sector before it.
  const std::string disk = dump(b, start, metadataSectors(boot), diskSectors, "disk", start);
  {
    std::fstream mbr(disk, std::ios::binary | std::ios::in | std::ios::out);
    const Sector s = b.read(0);
    mbr.write(reinterpret_cast<const char*>(s.data()), 512);
  }
  const std::string at = disk + "@@" + std::to_string(static_cast<uint64_t>(start) * 512);
  const std::string env = "MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=1 ";
  out.clear();
  EXPECT_TRUE(runCommand(env + "minfo -i " + at + " ::", &out)) << out;
  EXPECT_NE(out.find("disk type=\"" + fatType), std::string::npos) << out;
  const size_t at_label = out.find("disk label=\"");
  ASSERT_NE(at_label, std::string::npos) << out;
  EXPECT_NE(out.substr(at_label, out.find('\n', at_label) - at_label).find(label),
            std::string::npos)
      << out;
  out.clear();
  EXPECT_TRUE(runCommand(env + "mdir " + listOptions + " -i " + at + " ::", &out)) << out;
  lastListing = out;

  const std::string in = tempName("in"), back = tempName("back");
  std::string content;
  for (int k = 0; k < 3000; ++k) content += std::to_string(k * 7919) + (k % 9 ? ' ' : '\n');
  std::ofstream(in, std::ios::binary) << content;
  out.clear();
  EXPECT_TRUE(runCommand(env + "mcopy -i " + at + " " + in + " ::DATA.TXT", &out)) << out;
  out.clear();
  EXPECT_TRUE(runCommand(env + "mcopy -i " + at + " ::DATA.TXT " + back, &out)) << out;
  std::ifstream got(back, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(got), {}), content);
  std::remove(in.c_str());
  std::remove(back.c_str());
  std::remove(disk.c_str());
}
