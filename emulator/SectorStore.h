// The flash of an emulated drive: a fixed number of 512-byte sectors, held
// either sparsely in memory (tests) or in an image file (the virtual-drive
// mode, so a drive keeps its contents between runs). Portable code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "PDKCriticalSection.h"

namespace emu {

class CSectorStore {
 public:
  static constexpr uint32_t kSectorSize = 512;
  static constexpr uint32_t kMaxSectors = 2097152;  // 1 GB

  // A store of sectors (any count from 1) that exists only in memory; only
  // sectors holding a non-zero byte take memory. A count of 0 throws
  // std::invalid_argument.
  static std::unique_ptr<CSectorStore> inMemory(uint32_t sectors);

  // A store kept in the image file at path, exactly sectors × 512 bytes.
  // A missing file is created (sparse, all zeros) when create is set, and is an
  // error otherwise; an existing file is opened as it is, whatever create says,
  // and must have exactly that size. Failures throw std::runtime_error naming
  // the path; a sector count out of range throws std::invalid_argument.
  static std::unique_ptr<CSectorStore> openImage(const std::string& path, uint32_t sectors,
                                                 bool create);

  CSectorStore(const CSectorStore&) = delete;
  CSectorStore& operator=(const CSectorStore&) = delete;
  ~CSectorStore();

  uint32_t sectorCount() const { return sectorCount_; }
  bool isImage() const { return image_; }

  // count × 512 bytes from/to sector lba on. A range reaching past the last
  // sector throws std::out_of_range and moves nothing. An I/O failure on the
  // image throws std::runtime_error.
  void read(uint32_t lba, uint32_t count, uint8_t* out) const;
  // Images are flushed after every write, so a crash of the program loses nothing.
  void write(uint32_t lba, uint32_t count, const uint8_t* in);
  void flush();

  // In memory: the sectors currently held (writing a sector of zeros frees it).
  // An image holds every sector in its file, so this is sectorCount() there.
  size_t storedSectorCount() const;

 private:
  using Sector = std::array<uint8_t, kSectorSize>;

  CSectorStore(uint32_t sectors, bool image);
  static void checkCount(uint32_t sectors);
  void checkRange(uint32_t lba, uint32_t count) const;
  void seek(uint32_t lba) const;
  [[noreturn]] void ioFailure(const char* what) const;

  const uint32_t sectorCount_;
  const bool image_;
  std::string path_;
  mutable CPDKCriticalSection mutex_;
  std::map<uint32_t, Sector> sectors_;  // in memory: only sectors holding a non-zero byte
  mutable std::fstream file_;           // image
};

}  // namespace emu
