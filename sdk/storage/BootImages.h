// The three 512-byte images the formatter starts from: a FAT boot sector and
// a master boot record for each kind of drive. Their boot code is our own: it
// never starts an operating system (the drive holds data), it only tells the
// user so through the BIOS and waits for a key.
#pragma once

#include <array>
#include <cstdint>

class CBootImages {
 public:
  using Image = std::array<uint8_t, 512>;

  static const Image& bootSector();
  static const Image& removableMbr();
  static const Image& fixedDiskMbr();

  // Where the texts lie in each image.
  static constexpr uint32_t kBootInvalidSystem = 0x185;
  static constexpr uint32_t kBootIoError = 0x19B;
  static constexpr uint32_t kBootReplaceDisk = 0x1AC;
  static constexpr uint32_t kRemovableInvalidTable = 0x10F;
  static constexpr uint32_t kRemovableLoadError = 0x127;
  static constexpr uint32_t kRemovableMissing = 0x146;
  static constexpr uint32_t kFixedInvalidTable = 0x12C;
  static constexpr uint32_t kFixedLoadError = 0x144;
  static constexpr uint32_t kFixedMissing = 0x163;
  static constexpr uint32_t kFixedMessageTable = 0x1B5;  // three low bytes of the offsets
};
