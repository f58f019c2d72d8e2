// The transport of the NT family: SCSI pass-through on the drive's volume handle.
#pragma once

#include "CommandBlocks.h"
#include "ConnectionBase.h"
#include "DeviceInstaller.h"
#include "ScsiCdb.h"

class CNTConnection : public CConnectionBase {
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

 private:
  // Loaded with the connection: eject goes through it.
  pdkos::CDeviceInstaller m_installer;

  // A command through the direct block: the data stay in the caller's buffer.
  int sendDirect(CDeviceHandle& handle, const pdk::ScsiCdb& cdb, void* data, uint32_t length,
                 bool dataIn, uint32_t timeout);
  // A command through the buffered block; only data-in commands of at most one
  // sector carry data. *returned gets the bytes Windows gave back.
  int sendBuffered(CDeviceHandle& handle, const pdk::ScsiCdb& cdb, pdk::ScsiBufferedBlock* block,
                   uint32_t dataLength, uint32_t* returned);
  int sendVendor(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                 const uint8_t* params, uint32_t dataLength, uint8_t* data, bool dataIn,
                 uint32_t timeout);
};
