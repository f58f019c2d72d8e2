#include "ConnectionBase.h"

#include "IdentifierText.h"
#include "InquiryData.h"
#include "PDKErrors.h"
#include "SCSIStringAuthenticator.h"

bool CConnectionBase::validTransfer(const uint8_t* buffer, uint32_t sectorCount) {
  return buffer != nullptr && sectorCount > 0 && sectorCount <= pdk::kMaxSectorsPerTransfer;
}

bool CConnectionBase::vendorRequest(uint16_t subCode, uint32_t paramLength, const uint8_t* params,
                                    uint32_t dataLength, const uint8_t* data, pdk::ScsiCdb* cdb) {
  if (dataLength > 0 && data == nullptr) return false;
  return pdk::vendorCdb(subCode, params, paramLength, cdb);
}

int CConnectionBase::identify(const uint8_t* answer, size_t length, DeviceParams& params) {
  return CIdentifierText(answer, length).applyTo(params) ? pdk::kOk : pdk::kGeneralError;
}

bool CConnectionBase::acceptInquiry(CDeviceHandle& handle, const uint8_t* inquiry,
                                    uint32_t received, DeviceParams& params, bool productCheck) {
  return CSCSIStringAuthenticator(*this).accept(handle, CInquiryData(inquiry, received), params,
                                                productCheck);
}

int CConnectionBase::sendFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                                const uint8_t* params, uint32_t dataLength, uint8_t* data,
                                uint32_t timeout, int framed, bool dataIn) {
  if (data == nullptr || dataLength < pdk::kFrameHeaderLength) return pdk::kBadParameters;
  if (framed == 0) pdk::writeFrameHeader(data);
  const int result =
      dataIn ? vendorIn(handle, subCode, paramLength, params, dataLength, data, timeout)
             : vendorOut(handle, subCode, paramLength, params, dataLength, data, timeout);
  if (framed == 1 && result == pdk::kOk && !pdk::hasFrameSignature(data)) {
    return pdk::kNotAuthenticated;
  }
  if (dataIn && result != pdk::kOk && lostFrameCode() != 0 && !pdk::hasFrameSignature(data)) {
    return lostFrameCode();
  }
  return result;
}

int CConnectionBase::vendorOutFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                                     const uint8_t* params, uint32_t dataLength, uint8_t* data,
                                     uint32_t timeout, int framed) {
  return sendFramed(handle, subCode, paramLength, params, dataLength, data, timeout, framed, false);
}

int CConnectionBase::vendorInFramed(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                                    const uint8_t* params, uint32_t dataLength, uint8_t* data,
                                    uint32_t timeout, int framed) {
  return sendFramed(handle, subCode, paramLength, params, dataLength, data, timeout, framed, true);
}
