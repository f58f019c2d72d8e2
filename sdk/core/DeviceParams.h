// The SDK's record of one drive, passed to every listener and held by every
// device object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "PDKErrors.h"

struct DeviceParams {
  int32_t capacity = -1;   // bytes, -1 until read
  char revision[32] = {};  // firmware revision from INQUIRY, five bytes kept
  char serial[32] = {};    // the drive's identity
  char path[256] = {};     // Windows device path a handle is opened on
  char vendor[32] = {};
  char product[32] = {};
  int32_t usbVendorId = -1;
  int32_t reserved = -1;
  uint32_t driveMask = 0;  // bit n = drive letter 'A' + n
  int32_t id = -1;         // device-table slot
  int32_t status = pdk::kNotConnected;
  int32_t removable = 1;   // 1 removable media, 0 fixed disk
  int32_t adapterId = -1;  // ASPI host adapter (ME only)
  int32_t targetId = -1;   // ASPI target (ME only)

  // Records of the same drive in the same state: id, capacity, letters, revision,
  // serial and status are compared; the rest may differ.
  bool operator==(const DeviceParams& other) const;
  bool operator!=(const DeviceParams& other) const { return !(*this == other); }

  // A record holding one drive letter and nothing else.
  static DeviceParams forLetter(char letter);
};

namespace pdk {

// Copies text into a fixed field, cutting it to fit and always terminating it.
template <size_t N>
void setText(char (&field)[N], const char* text) {
  size_t i = 0;
  if (text != nullptr) {
    for (; i + 1 < N && text[i] != '\0'; ++i) field[i] = text[i];
  }
  for (; i < N; ++i) field[i] = '\0';
}

// The SDK's text-result rule: the text (length bytes) and a NUL into buffer,
// size set to the bytes needed; 26 when buffer is missing or too small.
int copyTextResult(const char* text, size_t length, char* buffer, uint32_t& size);

// Bit of a drive letter in a mask ('A' is bit 0); 0 for anything but a letter.
uint32_t letterBit(char letter);
// The lowest drive letter of a mask, or '\0' for an empty mask.
char lowestLetter(uint32_t driveMask);

}  // namespace pdk
