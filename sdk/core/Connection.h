// The transport to the drives: one object per process, chosen by the Windows
// version. Every command operation takes the drive's handle and returns an SDK
// error code: 0, 3 when the request could not be delivered, 4 when the drive
// answered with a non-zero status, 8/2/1 when the handle could not be opened.
#pragma once

#include <cstddef>
#include <cstdint>

class CDeviceHandle;
struct DeviceParams;

namespace pdk {
// Room the callers give the identification answers; each transport asks for as
// much as its driver allows (INQUIRY 36 or 128 bytes, identifier 100 or 46).
constexpr uint32_t kInquiryBufferLength = 128;
constexpr uint32_t kIdentifierBufferLength = 100;
}  // namespace pdk

class IConnection {
 public:
  virtual ~IConnection() = default;

  // Whether this user may open drives at all: 0, or 2 when no handle could be had.
  virtual int probeAccess() = 0;
  // READ CAPACITY(10), in 1024-byte units.
  virtual int readCapacity(CDeviceHandle& handle, uint32_t* kilobytes) = 0;
  // One transfer of sectorCount (1..255) sectors of 512 bytes.
  virtual int write10(CDeviceHandle& handle, const uint8_t* buffer, uint32_t firstSector,
                      uint32_t sectorCount, uint32_t timeout) = 0;
  virtual int read10(CDeviceHandle& handle, uint8_t* buffer, uint32_t firstSector,
                     uint32_t sectorCount, uint32_t timeout) = 0;
  // The vendor command with a 16-byte frame header in the data. framed 0: the
  // header is written before sending; framed 1: the caller's buffer carries it.
  virtual int vendorOutFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                              const uint8_t* params, uint32_t dataLength, uint8_t* data,
                              uint32_t timeout, int framed) = 0;
  // The vendor command, data out (or none when dataLength is 0).
  virtual int vendorOut(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                        const uint8_t* params, uint32_t dataLength, const uint8_t* data,
                        uint32_t timeout) = 0;
  virtual int vendorInFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                             const uint8_t* params, uint32_t dataLength, uint8_t* data,
                             uint32_t timeout, int framed) = 0;
  // The vendor command, data in.
  virtual int vendorIn(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                       const uint8_t* params, uint32_t dataLength, uint8_t* data,
                       uint32_t timeout) = 0;
  // The path a handle for the drive letter is opened on; false when there is none.
  virtual bool buildVolumePath(char letter, char* path, size_t size) = 0;

  // The identification commands behind recognition. `data` holds
  // kInquiryBufferLength / kIdentifierBufferLength bytes; *received tells how
  // many INQUIRY bytes came back.
  virtual int _inquiry(CDeviceHandle& handle, uint8_t* data, uint32_t* received) = 0;
  virtual int _reportIdentifier(CDeviceHandle& handle, uint8_t* data) = 0;

  // Identifies the drive of params: fills vendor, product, revision and, when
  // accepted, serial; sets params.status (0 recognised, 9 not, 11 not ready).
  virtual int inquireAndRecognize(DeviceParams& params, bool productCheck) = 0;
  // 0 when the drive names itself as the maker's drive; then serial, usbVendorId 0x0F3B, status 0.
  virtual int reportIdentifier(DeviceParams& params) = 0;
  // Whether Windows has registered the drive's USB instance named by text.
  virtual bool isInstanceRegistered(const char* text) = 0;
  // Asks the system to eject the drive (found by its serial); true when it did.
  virtual bool eject(const DeviceParams& params) = 0;
};
