// An emulated drive behind the SDK's port seam, as every transport test needs it.
#pragma once

#include <gtest/gtest.h>

#include "DeviceParams.h"
#include "DevicePort.h"
#include "EmuDevicePort.h"
#include "EmulatedDrive.h"
#include "RawCapturePort.h"

inline emu::DriveConfig smallDrive(uint32_t sectors = 4096) {
  emu::DriveConfig config;
  config.serial = "0F3B27000042";
  config.sectorCount = sectors;
  return config;
}

class DriveFixture : public ::testing::Test {
 protected:
  explicit DriveFixture(emu::DriveConfig config = smallDrive()) : drive(config), raw(port) {
    port.attach('E', &drive);
    pdk::setDevicePort(&raw);
  }
  ~DriveFixture() override { pdk::setDevicePort(nullptr); }

  // The drive's params as recognition leaves them: letter E.
  static DeviceParams driveE() { return DeviceParams::forLetter('E'); }

  emu::CEmulatedDrive drive;
  emu::CEmuDevicePort port;
  RawCapturePort raw;
};

// Where the fields of the pass-through headers lie for this build's pointer width.
struct PassThroughLayout {
  static constexpr size_t P = sizeof(void*);
  static constexpr size_t length = 0, scsiStatus = 2, pathId = 3, targetId = 4, lun = 5,
                          cdbLength = 6, senseInfoLength = 7, dataIn = 8, dataTransferLength = 12,
                          timeOutValue = 16;
  static constexpr size_t pointer = P == 4 ? 20 : 24;  // DataBuffer or DataBufferOffset
  static constexpr size_t senseInfoOffset = P == 4 ? 24 : 32;
  static constexpr size_t cdb = P == 4 ? 28 : 36;
  static constexpr size_t headerSize = P == 4 ? 44 : 56;
  static constexpr size_t senseOffset = P == 4 ? 48 : 60;  // header + 4 filler bytes
  static constexpr size_t directBlockSize = P == 4 ? 80 : 96;
  static constexpr size_t bufferedDataOffset = P == 4 ? 80 : 92;
  static constexpr size_t bufferedBlockSize = P == 4 ? 592 : 608;
  static constexpr size_t identifierBlockSize = P == 4 ? 180 : 200;
};
