// The transport of Windows 98 SE: the USB driver's private control code on the
// drive's USB device handle.
#pragma once

#include "ConnectionBase.h"
#include "PDKErrors.h"
#include "ScsiCdb.h"

class C98Connection : public CConnectionBase {
 public:
  int probeAccess() override;
  int readCapacity(CDeviceHandle& handle, uint32_t* kilobytes) override;
  int write10(CDeviceHandle& handle, const uint8_t* buffer, uint32_t firstSector,
              uint32_t sectorCount, uint32_t timeout) override;
  int read10(CDeviceHandle& handle, uint8_t* buffer, uint32_t firstSector, uint32_t sectorCount,
             uint32_t timeout) override;
  int vendorOut(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                const uint8_t* params, uint32_t dataLength, const uint8_t* data,
                uint32_t timeout) override;
  int vendorIn(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength, const uint8_t* params,
               uint32_t dataLength, uint8_t* data, uint32_t timeout) override;
  bool buildVolumePath(char letter, char* path, size_t size) override;
  int _inquiry(CDeviceHandle& handle, uint8_t* data, uint32_t* received) override;
  int _reportIdentifier(CDeviceHandle& handle, uint8_t* data) override;
  int inquireAndRecognize(DeviceParams& params, bool productCheck) override;
  int reportIdentifier(DeviceParams& params) override;
  bool isInstanceRegistered(const char* text) override;
  bool eject(const DeviceParams& params) override;

 protected:
  // A failed framed data-in whose frame is gone: 9.
  int lostFrameCode() const override { return pdk::kNotAuthenticated; }

 private:
  // One request through control code 0x220000 with the given CDB length.
  int send(CDeviceHandle& handle, const pdk::ScsiCdb& cdb, uint32_t cdbLength, void* data,
           uint32_t length, bool dataIn);
  int vendor(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength, const uint8_t* params,
             uint32_t dataLength, uint8_t* data, bool dataIn);
  // REPORT DEVICE IDENTIFIER and its check on a handle that is already open.
  int identifyThrough(CDeviceHandle& handle, DeviceParams& params);
};
