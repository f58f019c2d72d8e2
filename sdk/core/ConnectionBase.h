// What the three transports share: argument checks and the framed vendor commands.
#pragma once

#include "Connection.h"
#include "ScsiCdb.h"

class CConnectionBase : public IConnection {
 public:
  int vendorOutFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                      const uint8_t* params, uint32_t dataLength, uint8_t* data, uint32_t timeout,
                      int framed) override;
  int vendorInFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                     const uint8_t* params, uint32_t dataLength, uint8_t* data, uint32_t timeout,
                     int framed) override;

 protected:
  // What a framed data-in that failed answers when its buffer no longer
  // begins with the frame signature; 0 keeps the command's own code.
  virtual int lostFrameCode() const { return 0; }
  // A transfer the drive can take in one command: 1..255 sectors and a buffer.
  static bool validTransfer(const uint8_t* buffer, uint32_t sectorCount);
  // The vendor CDB of a call whose arguments hold together: at most seven
  // parameter bytes, buffers where lengths say so. False for anything else.
  static bool vendorRequest(uint16_t subCode, uint32_t paramLength, const uint8_t* params,
                            uint32_t dataLength, const uint8_t* data, pdk::ScsiCdb* cdb);
  // REPORT DEVICE IDENTIFIER's check on an answer of `length` bytes (zero where
  // the drive sent nothing): 0 and params filled when it names the drive, else 1.
  static int identify(const uint8_t* answer, size_t length, DeviceParams& params);
  // The accept step on INQUIRY data, sending the serial query through handle.
  bool acceptInquiry(CDeviceHandle& handle, const uint8_t* inquiry, uint32_t received,
                     DeviceParams& params, bool productCheck);

 private:
  // Writes the frame header when asked to, sends, and checks the signature of a
  // command that went through with a caller-framed buffer.
  int sendFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                 const uint8_t* params, uint32_t dataLength, uint8_t* data, uint32_t timeout,
                 int framed, bool dataIn);
};
