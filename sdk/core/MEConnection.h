// The transport of Windows ME: ASPI requests by host adapter and target.
#pragma once

#include <memory>

#include "CommandBlocks.h"
#include "ConnectionBase.h"
#include "DynamicLibrary.h"
#include "PDKErrors.h"
#include "ScsiCdb.h"

class CMEConnection : public CConnectionBase {
 public:
  // Loads the ASPI library; without it (or either entry point) every command fails with 3.
  CMEConnection();
  ~CMEConnection() override;

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

  // Number of host adapters, from an adapter inquiry on adapter 0; 0 without ASPI.
  int hostAdapterCount();

 protected:
  // A failed framed data-in whose frame is gone: 5.
  int lostFrameCode() const override { return pdk::kVerificationError; }

 private:
  bool aspiLoaded() const { return m_send != nullptr && m_support != nullptr; }
  // One request, polled until it completes; true when it completed without error.
  bool execute(int adapterId, int targetId, const pdk::ScsiCdb& cdb, void* data, uint32_t length,
               bool dataIn);
  // Up to two requests for the commands that retry.
  bool executeRetrying(int adapterId, int targetId, const pdk::ScsiCdb& cdb, void* data,
                       uint32_t length, bool dataIn);
  // After a failed command: 4 when the drive still answers READ CAPACITY, else 3.
  int failureCode(int adapterId, int targetId);
  int vendor(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength, const uint8_t* params,
             uint32_t dataLength, uint8_t* data, bool dataIn);

  std::unique_ptr<pdkos::CDynamicLibrary> m_library;
  pdk::SendAspi32CommandFn m_send = nullptr;
  pdk::GetAspi32SupportInfoFn m_support = nullptr;
};
