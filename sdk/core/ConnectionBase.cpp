#include "ConnectionBase.h"

#include "PDKErrors.h"
#include "ScsiCdb.h"

bool CConnectionBase::validTransfer(const uint8_t* buffer, uint32_t sectorCount) {
  return buffer != nullptr && sectorCount > 0 && sectorCount <= pdk::kMaxSectorsPerTransfer;
}

bool CConnectionBase::validVendor(uint32_t paramLength, const uint8_t* params,
                                  uint32_t dataLength, const uint8_t* data) {
  if (paramLength > pdk::kMaxVendorParams) return false;
  if (paramLength > 0 && params == nullptr) return false;
  return dataLength == 0 || data != nullptr;
}

int CConnectionBase::checkFrame(int result, const uint8_t* data) {
  if (result == pdk::kOk && !pdk::hasFrameSignature(data)) return pdk::kNotAuthenticated;
  return result;
}

int CConnectionBase::vendorOutFramed(CDeviceHandle& handle, uint16_t subCode,
                                     uint32_t paramLength, const uint8_t* params,
                                     uint32_t dataLength, uint8_t* data, uint32_t timeout,
                                     int framed) {
  if (data == nullptr || dataLength < pdk::kFrameHeaderLength) return pdk::kBadParameters;
  if (framed == 0) pdk::writeFrameHeader(data);
  const int result = vendorOut(handle, subCode, paramLength, params, dataLength, data, timeout);
  return framed == 1 ? checkFrame(result, data) : result;
}

int CConnectionBase::vendorInFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                                    const uint8_t* params, uint32_t dataLength, uint8_t* data,
                                    uint32_t timeout, int framed) {
  if (data == nullptr || dataLength < pdk::kFrameHeaderLength) return pdk::kBadParameters;
  if (framed == 0) pdk::writeFrameHeader(data);
  const int result = vendorIn(handle, subCode, paramLength, params, dataLength, data, timeout);
  return framed == 1 ? checkFrame(result, data) : result;
}
