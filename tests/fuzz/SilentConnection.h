// A drive in memory for the fuzz targets: every command fails as on a silent
// drive (code 4) until a target overrides the ones whose answers it feeds, and
// opening any volume works without the system (no control code is ever sent).
#pragma once

#include <cstdint>
#include <cstdio>

#include "Connection.h"
#include "DevicePort.h"

class NullPort : public pdk::IDevicePort {
 public:
  pdk::PDKHandle open(const char*, uint32_t*) override {
    return reinterpret_cast<pdk::PDKHandle>(1);
  }
  void close(pdk::PDKHandle) override {}
  bool control(pdk::PDKHandle, uint32_t, void*, uint32_t, void*, uint32_t, uint32_t*) override {
    return false;
  }
};

class SilentConnection : public IConnection {
 public:
  static constexpr int kSilent = 4;

  int probeAccess() override { return 0; }
  int readCapacity(CDeviceHandle&, uint32_t*) override { return kSilent; }
  int write10(CDeviceHandle&, const uint8_t*, uint32_t, uint32_t, uint32_t) override {
    return kSilent;
  }
  int read10(CDeviceHandle&, uint8_t*, uint32_t, uint32_t, uint32_t) override { return kSilent; }
  int vendorOutFramed(CDeviceHandle&, uint16_t, uint32_t, const uint8_t*, uint32_t, uint8_t*,
                      uint32_t, int) override {
    return kSilent;
  }
  int vendorOut(CDeviceHandle&, uint16_t, uint32_t, const uint8_t*, uint32_t, const uint8_t*,
                uint32_t) override {
    return kSilent;
  }
  int vendorInFramed(CDeviceHandle&, uint16_t, uint32_t, const uint8_t*, uint32_t, uint8_t*,
                     uint32_t, int) override {
    return kSilent;
  }
  int vendorIn(CDeviceHandle&, uint16_t, uint32_t, const uint8_t*, uint32_t, uint8_t*,
               uint32_t) override {
    return kSilent;
  }
  bool buildVolumePath(char, char* path, size_t size) override {
    std::snprintf(path, size, "mem");
    return true;
  }
  int _inquiry(CDeviceHandle&, uint8_t*, uint32_t*) override { return kSilent; }
  int _reportIdentifier(CDeviceHandle&, uint8_t*) override { return kSilent; }
  int inquireAndRecognize(DeviceParams&, bool) override { return kSilent; }
  int reportIdentifier(DeviceParams&) override { return kSilent; }
  bool isInstanceRegistered(const char*) override { return false; }
  bool eject(const DeviceParams&) override { return false; }
};
