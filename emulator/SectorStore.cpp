#include "SectorStore.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "HostFile.h"
#include "PDKLockGuard.h"

namespace emu {

namespace {

bool allZero(const uint8_t* p, size_t n) {
  return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

}  // namespace

CSectorStore::CSectorStore(uint32_t sectors, bool image) : sectorCount_(sectors), image_(image) {}

CSectorStore::~CSectorStore() = default;

void CSectorStore::checkCount(uint32_t sectors) {
  if (sectors == 0 || sectors > kMaxSectors)
    throw std::invalid_argument("sector store: " + std::to_string(sectors) +
                                " sectors, expected 1.." + std::to_string(kMaxSectors));
}

std::unique_ptr<CSectorStore> CSectorStore::inMemory(uint32_t sectors) {
  // Sparse in memory: a drive larger than the formatter takes (to see it refused)
  // or than 24 bits of blocks (to see READ CAPACITY's arithmetic) costs nothing.
  if (sectors == 0) throw std::invalid_argument("sector store: no sectors");
  return std::unique_ptr<CSectorStore>(new CSectorStore(sectors, false));
}

std::unique_ptr<CSectorStore> CSectorStore::openImage(const std::string& path, uint32_t sectors,
                                                      bool create) {
  checkCount(sectors);
  const uint64_t expected = uint64_t(sectors) * kSectorSize;
  const hostfile::Kind kind = hostfile::kindOf(path);
  if (kind == hostfile::Kind::kMissing) {
    if (!create) throw std::runtime_error("sector image " + path + ": no such file");
    // Created empty and then extended, so the file system keeps it sparse: a
    // 1 GB image costs nothing until its sectors are written.
    const bool made = std::ofstream(path, std::ios::binary).is_open();
    if (!made || !hostfile::resize(path, expected)) {
      hostfile::remove(path);
      throw std::runtime_error("sector image " + path + ": cannot create it");
    }
  } else if (kind != hostfile::Kind::kRegular) {
    throw std::runtime_error("sector image " + path + ": not a regular file");
  }
  uint64_t actual = 0;
  if (!hostfile::sizeOf(path, actual))
    throw std::runtime_error("sector image " + path + ": cannot read its size");
  if (actual != expected)
    throw std::runtime_error("sector image " + path + ": " + std::to_string(actual) +
                             " bytes, expected " + std::to_string(expected) + " (" +
                             std::to_string(sectors) + " sectors of 512 bytes)");

  std::unique_ptr<CSectorStore> store(new CSectorStore(sectors, true));
  store->path_ = path;
  store->file_.open(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!store->file_.is_open())
    throw std::runtime_error("sector image " + path + ": cannot open it for reading and writing");
  return store;
}

void CSectorStore::checkRange(uint32_t lba, uint32_t count) const {
  if (uint64_t(lba) + count > sectorCount_)
    throw std::out_of_range("sector store: sectors " + std::to_string(lba) + "+" +
                            std::to_string(count) + " past the last sector " +
                            std::to_string(sectorCount_ - 1));
}

void CSectorStore::ioFailure(const char* what) const {
  file_.clear();
  throw std::runtime_error("sector image " + path_ + ": " + what + " failed");
}

void CSectorStore::seek(uint32_t lba) const {
  // One seek before every transfer also satisfies the stream's rule that
  // reading and writing may only alternate across a seek.
  file_.seekp(std::streamoff(lba) * kSectorSize);
  if (!file_) ioFailure("seek");
}

void CSectorStore::read(uint32_t lba, uint32_t count, uint8_t* out) const {
  CPDKLockGuard lock(&mutex_);
  checkRange(lba, count);
  if (count == 0) return;
  if (image_) {
    seek(lba);
    file_.read(reinterpret_cast<char*>(out), std::streamsize(count) * kSectorSize);
    if (!file_) ioFailure("read");
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* dst = out + size_t(i) * kSectorSize;
    auto it = sectors_.find(lba + i);
    if (it == sectors_.end())
      std::memset(dst, 0, kSectorSize);
    else
      std::memcpy(dst, it->second.data(), kSectorSize);
  }
}

void CSectorStore::write(uint32_t lba, uint32_t count, const uint8_t* in) {
  CPDKLockGuard lock(&mutex_);
  checkRange(lba, count);
  if (count == 0) return;
  if (image_) {
    seek(lba);
    file_.write(reinterpret_cast<const char*>(in), std::streamsize(count) * kSectorSize);
    if (!file_) ioFailure("write");
    file_.flush();
    if (!file_) ioFailure("flush");
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* src = in + size_t(i) * kSectorSize;
    if (allZero(src, kSectorSize)) {
      // A wiped sector reads as zeros anyway; dropping it keeps a formatted
      // 1 GB store small.
      sectors_.erase(lba + i);
      continue;
    }
    std::memcpy(sectors_[lba + i].data(), src, kSectorSize);
  }
}

void CSectorStore::flush() {
  CPDKLockGuard lock(&mutex_);
  if (!image_) return;
  file_.flush();
  if (!file_) ioFailure("flush");
}

size_t CSectorStore::storedSectorCount() const {
  CPDKLockGuard lock(&mutex_);
  return image_ ? sectorCount_ : sectors_.size();
}

}  // namespace emu
