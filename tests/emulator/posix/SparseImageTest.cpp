// A new image takes no disk space until its sectors are written: a 1 GB
// virtual drive must not cost 1 GB on creation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "emulator/SectorStore.h"
#include "emulator/TempDir.h"

namespace {

using emu::CSectorStore;

uint64_t allocatedBytes(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return ~uint64_t(0);
  return uint64_t(st.st_blocks) * 512;  // st_blocks counts 512-byte units
}

TEST(SparseImageTest, NewFullSizeImageAllocatesAlmostNothing) {
  tovik_test::TempDir dir;
  const std::string path = dir.file("sparse.img");
  auto store = CSectorStore::openImage(path, CSectorStore::kMaxSectors, true);
  EXPECT_LT(allocatedBytes(path), 1024u * 1024u);
  // Writing one sector far out allocates around that sector only.
  const std::vector<uint8_t> data(CSectorStore::kSectorSize, 0x5C);
  store->write(CSectorStore::kMaxSectors / 2, 1, data.data());
  EXPECT_LT(allocatedBytes(path), 1024u * 1024u);
  EXPECT_GT(allocatedBytes(path), 0u);
}

}  // namespace
