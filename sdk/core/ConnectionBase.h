// What the three transports share: argument checks and the framed vendor commands.
#pragma once

#include "Connection.h"

class CConnectionBase : public IConnection {
 public:
  int vendorOutFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                      const uint8_t* params, uint32_t dataLength, uint8_t* data, uint32_t timeout,
                      int framed) override;
  int vendorInFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                     const uint8_t* params, uint32_t dataLength, uint8_t* data, uint32_t timeout,
                     int framed) override;

 protected:
  // A transfer the drive can take in one command: 1..255 sectors and a buffer.
  static bool validTransfer(const uint8_t* buffer, uint32_t sectorCount);
  // Vendor arguments: at most seven parameter bytes, buffers where lengths say so.
  static bool validVendor(uint32_t paramLength, const uint8_t* params, uint32_t dataLength,
                          const uint8_t* data);

 private:
  // A framed command that went through must still carry the signature.
  static int checkFrame(int result, const uint8_t* data);
};
