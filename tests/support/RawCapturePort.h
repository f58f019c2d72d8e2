// A port in front of another one that keeps the raw bytes of each request
// block, so tests can read them by offset, independently of the SDK's structs.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "DevicePort.h"

struct RawControl {
  uint32_t code = 0;
  uint32_t inLength = 0;
  uint32_t outLength = 0;
  std::vector<uint8_t> in;  // the input block as it was handed over
};

class RawCapturePort : public pdk::IDevicePort {
 public:
  explicit RawCapturePort(pdk::IDevicePort& next) : m_next(next) {}

  pdk::PDKHandle open(const char* path, uint32_t* error) override {
    return m_next.open(path, error);
  }
  void close(pdk::PDKHandle handle) override { m_next.close(handle); }
  bool control(pdk::PDKHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
               uint32_t outLength, uint32_t* returned) override {
    RawControl raw;
    raw.code = code;
    raw.inLength = inLength;
    raw.outLength = outLength;
    raw.in.assign(static_cast<uint8_t*>(in), static_cast<uint8_t*>(in) + inLength);
    calls.push_back(raw);
    return m_next.control(handle, code, in, inLength, out, outLength, returned);
  }
  std::vector<char> logicalDriveLetters() override { return m_next.logicalDriveLetters(); }
  bool isRemovableDrive(char letter) override { return m_next.isRemovableDrive(letter); }
  bool isVolumeAccessible(char letter) override { return m_next.isVolumeAccessible(letter); }

  std::vector<RawControl> calls;

 private:
  pdk::IDevicePort& m_next;
};

// Little-endian readers for raw blocks.
inline uint32_t rawU16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8);
}
inline uint32_t rawU32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline uint64_t rawPtr(const std::vector<uint8_t>& b, size_t at) {
  uint64_t v = 0;
  std::memcpy(&v, b.data() + at, sizeof(void*));
  return v;
}
