#include "emulator/SectorStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"

namespace {

using emu::CSectorStore;
namespace fs = std::filesystem;

constexpr uint32_t kSize = CSectorStore::kSectorSize;

std::vector<uint8_t> pattern(uint32_t sectors, uint8_t seed) {
  std::vector<uint8_t> v(size_t(sectors) * kSize);
  for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(seed + i * 7 + i / 509);
  return v;
}

std::vector<uint8_t> readBack(const CSectorStore& store, uint32_t lba, uint32_t count) {
  std::vector<uint8_t> v(size_t(count) * kSize, 0xEE);
  store.read(lba, count, v.data());
  return v;
}

// Every behaviour that does not depend on where the sectors live runs on both kinds.
enum class Kind { Memory, Image };

class SectorStoreKindTest : public ::testing::TestWithParam<Kind> {
 protected:
  std::unique_ptr<CSectorStore> make(uint32_t sectors) {
    if (GetParam() == Kind::Memory) return CSectorStore::inMemory(sectors);
    return CSectorStore::openImage(dir_.file("kind.img"), sectors, true);
  }
  tovik_test::TempDir dir_;
};

TEST_P(SectorStoreKindTest, WrittenSectorsReadBackAndOthersReadAsZeros) {
  auto store = make(64);
  EXPECT_EQ(store->sectorCount(), 64u);
  const auto data = pattern(3, 0x31);
  store->write(10, 3, data.data());
  EXPECT_EQ(readBack(*store, 10, 3), data);
  // A read spanning written and unwritten sectors gets zeros around the data.
  const auto wide = readBack(*store, 9, 5);
  EXPECT_EQ(std::vector<uint8_t>(wide.begin(), wide.begin() + kSize), std::vector<uint8_t>(kSize));
  EXPECT_EQ(std::vector<uint8_t>(wide.begin() + kSize, wide.begin() + 4 * kSize), data);
  EXPECT_EQ(std::vector<uint8_t>(wide.begin() + 4 * kSize, wide.end()),
            std::vector<uint8_t>(kSize));
  EXPECT_EQ(readBack(*store, 0, 1), std::vector<uint8_t>(kSize));
  // Overwriting part of the range replaces just those sectors.
  const auto again = pattern(1, 0x90);
  store->write(11, 1, again.data());
  auto expected = data;
  std::copy(again.begin(), again.end(), expected.begin() + kSize);
  EXPECT_EQ(readBack(*store, 10, 3), expected);
}

TEST_P(SectorStoreKindTest, FirstAndLastSectorsAreReachable) {
  auto store = make(16);
  const auto first = pattern(1, 1), last = pattern(1, 2);
  store->write(0, 1, first.data());
  store->write(15, 1, last.data());
  EXPECT_EQ(readBack(*store, 0, 1), first);
  EXPECT_EQ(readBack(*store, 15, 1), last);
}

TEST_P(SectorStoreKindTest, RangesPastTheEndAreRefusedAndMoveNothing) {
  struct Case {
    uint32_t lba, count;
  };
  const Case cases[] = {{16, 1}, {15, 2}, {0, 17}, {100, 0}, {0xFFFFFFFFu, 2}, {1, 0xFFFFFFFFu}};
  auto store = make(16);
  const auto before = pattern(16, 0x55);
  store->write(0, 16, before.data());
  for (const Case& c : cases) {
    SCOPED_TRACE("lba " + std::to_string(c.lba) + " count " + std::to_string(c.count));
    // The buffers are smaller than the huge counts: a store that moved data
    // before checking the range would overrun them and be caught here.
    std::vector<uint8_t> buffer(17 * kSize, 0xAB);
    EXPECT_THROW(store->read(c.lba, c.count, buffer.data()), std::out_of_range) << "read";
    EXPECT_EQ(buffer, std::vector<uint8_t>(17 * kSize, 0xAB));
    const auto other = pattern(17, 0x77);
    EXPECT_THROW(store->write(c.lba, c.count, other.data()), std::out_of_range) << "write";
    EXPECT_EQ(readBack(*store, 0, 16), before);
  }
}

TEST_P(SectorStoreKindTest, CountZeroMovesNothing) {
  auto store = make(8);
  uint8_t byte = 0x5A;
  store->read(8, 0, &byte);
  store->write(8, 0, &byte);
  EXPECT_EQ(byte, 0x5A);
  EXPECT_EQ(readBack(*store, 0, 8), std::vector<uint8_t>(8 * kSize));
}

TEST_P(SectorStoreKindTest, ThreadsWritingTheirOwnSectorsDoNotDisturbEachOther) {
  constexpr uint32_t kThreads = 4, kRounds = 50;
  auto store = make(kThreads * 4);
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&store, t] {
      for (uint32_t r = 0; r < kRounds; ++r) {
        const auto data = pattern(4, uint8_t(t * 40 + r));
        store->write(t * 4, 4, data.data());
        std::vector<uint8_t> back(4 * kSize);
        store->read(t * 4, 4, back.data());
        if (back != data) ADD_FAILURE() << "thread " << t << " round " << r;
      }
    });
  }
  for (auto& th : threads) th.join();
  for (uint32_t t = 0; t < kThreads; ++t)
    EXPECT_EQ(readBack(*store, t * 4, 4), pattern(4, uint8_t(t * 40 + kRounds - 1)));
}

INSTANTIATE_TEST_SUITE_P(Kinds, SectorStoreKindTest, ::testing::Values(Kind::Memory, Kind::Image),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                           return info.param == Kind::Memory ? "Memory" : "Image";
                         });

TEST(SectorStoreTest, SectorCountsOutsideTheLimitsAreRefused) {
  tovik_test::TempDir dir;
  for (uint32_t sectors : {0u, CSectorStore::kMaxSectors + 1}) {
    SCOPED_TRACE(sectors);
    EXPECT_THROW(CSectorStore::openImage(dir.file("bad.img"), sectors, true),
                 std::invalid_argument);
    EXPECT_FALSE(fs::exists(dir.file("bad.img")));
  }
  EXPECT_THROW(CSectorStore::inMemory(0), std::invalid_argument);
  // Memory is sparse: any count goes, the largest included.
  auto huge = CSectorStore::inMemory(0xFFFFFFFFu);
  const auto data = pattern(1, 3);
  huge->write(0xFFFFFFFEu, 1, data.data());
  EXPECT_EQ(huge->storedSectorCount(), 1u);
}

TEST(SectorStoreTest, MemoryHoldsOnlySectorsWithData) {
  auto store = CSectorStore::inMemory(CSectorStore::kMaxSectors);
  EXPECT_EQ(store->storedSectorCount(), 0u);
  const auto data = pattern(3, 9);
  store->write(CSectorStore::kMaxSectors - 3, 3, data.data());
  EXPECT_EQ(store->storedSectorCount(), 3u);
  // A sector written with zeros is as good as unwritten and is let go.
  const std::vector<uint8_t> zeros(kSize, 0);
  store->write(CSectorStore::kMaxSectors - 2, 1, zeros.data());
  EXPECT_EQ(store->storedSectorCount(), 2u);
  EXPECT_EQ(readBack(*store, CSectorStore::kMaxSectors - 2, 1), zeros);
  EXPECT_FALSE(store->isImage());
}

TEST(SectorStoreTest, NewImageHasTheExactSizeAndReadsAsZeros) {
  tovik_test::TempDir dir;
  for (uint32_t sectors : {1u, 777u, CSectorStore::kMaxSectors}) {
    SCOPED_TRACE(sectors);
    const std::string path = dir.file("new" + std::to_string(sectors) + ".img");
    auto store = CSectorStore::openImage(path, sectors, true);
    EXPECT_TRUE(store->isImage());
    EXPECT_EQ(fs::file_size(path), uintmax_t(sectors) * kSize);
    EXPECT_EQ(store->storedSectorCount(), sectors);
    EXPECT_EQ(readBack(*store, sectors - 1, 1), std::vector<uint8_t>(kSize));
  }
}

TEST(SectorStoreTest, ImageKeepsItsSectorsAcrossReopening) {
  tovik_test::TempDir dir;
  const std::string path = dir.file("persist.img");
  const auto a = pattern(2, 0x10), b = pattern(1, 0x20);
  {
    auto store = CSectorStore::openImage(path, 4096, true);
    store->write(0, 2, a.data());
    store->write(4095, 1, b.data());
  }
  // The bytes are in the file where a disk image has them: sector n at n × 512.
  {
    std::ifstream raw(path, std::ios::binary);
    std::vector<uint8_t> first(2 * kSize);
    raw.read(reinterpret_cast<char*>(first.data()), std::streamsize(first.size()));
    EXPECT_EQ(first, a);
  }
  // Reopened both ways: an existing image is opened as it is, whatever create says.
  for (bool create : {false, true}) {
    SCOPED_TRACE(create);
    auto store = CSectorStore::openImage(path, 4096, create);
    EXPECT_EQ(readBack(*store, 0, 2), a);
    EXPECT_EQ(readBack(*store, 4095, 1), b);
    EXPECT_EQ(readBack(*store, 2, 1), std::vector<uint8_t>(kSize));
  }
}

TEST(SectorStoreTest, WritesReachTheFileWhileTheStoreIsOpen) {
  tovik_test::TempDir dir;
  const std::string path = dir.file("live.img");
  auto store = CSectorStore::openImage(path, 8, true);
  const auto data = pattern(1, 0x42);
  store->write(3, 1, data.data());
  std::ifstream raw(path, std::ios::binary);
  raw.seekg(3 * kSize);
  std::vector<uint8_t> seen(kSize);
  raw.read(reinterpret_cast<char*>(seen.data()), kSize);
  EXPECT_EQ(seen, data);
}

TEST(SectorStoreTest, MissingImageIsRefusedWithoutCreate) {
  tovik_test::TempDir dir;
  const std::string path = dir.file("missing.img");
  try {
    CSectorStore::openImage(path, 8, false);
    FAIL() << "opened a missing image";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST(SectorStoreTest, ImageOfAnotherSizeIsRefusedAndLeftAlone) {
  constexpr uint32_t kSectors = 100;
  const uintmax_t sizes[] = {0, uintmax_t(kSectors - 1) * kSize, uintmax_t(kSectors + 1) * kSize,
                             uintmax_t(kSectors) * kSize - 1, uintmax_t(kSectors) * kSize + 1};
  tovik_test::TempDir dir;
  for (uintmax_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string path = dir.file("size" + std::to_string(size) + ".img");
    { std::ofstream(path, std::ios::binary).put('x'); }
    fs::resize_file(path, size);
    for (bool create : {false, true}) {
      try {
        CSectorStore::openImage(path, kSectors, create);
        ADD_FAILURE() << "accepted, create " << create;
      } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(std::to_string(size)), std::string::npos) << e.what();
      }
    }
    EXPECT_EQ(fs::file_size(path), size);
  }
}

TEST(SectorStoreTest, FolderIsNotAnImage) {
  tovik_test::TempDir dir;
  fs::create_directory(dir.file("folder"));
  for (bool create : {false, true})
    EXPECT_THROW(CSectorStore::openImage(dir.file("folder"), 8, create), std::runtime_error);
}

TEST(SectorStoreTest, ImageInAMissingFolderCannotBeCreated) {
  tovik_test::TempDir dir;
  const std::string path = dir.file("no-such-folder/x.img");
  EXPECT_THROW(CSectorStore::openImage(path, 8, true), std::runtime_error);
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
