#include "SCSIStringAuthenticator.h"

#include "Connection.h"
#include "DeviceHandle.h"
#include "PDKErrors.h"
#include "ScsiCdb.h"

bool CSCSIStringAuthenticator::accept(CDeviceHandle& handle, const CInquiryData& data,
                                      DeviceParams& params, bool productCheck) {
  if (data.product().empty()) return false;
  pdk::setText(params.product, data.product().c_str());
  pdk::setText(params.vendor, data.vendor().c_str());
  pdk::setText(params.revision, data.revision().c_str());

  if (productCheck && !data.productNamesDrive()) return false;
  if (CInquiryData::revisionRefused(params.revision)) return false;

  uint8_t answer[kSerialAnswerLength] = {};
  if (m_connection.vendorIn(handle, kSubCodeSerial, 0, nullptr, sizeof(answer), answer,
                            pdk::kDefaultTimeout) != pdk::kOk) {
    return false;
  }
  std::string serial;
  if (!serialFromAnswer(answer, sizeof(answer), &serial)) return false;
  pdk::setText(params.serial, serial.c_str());
  return true;
}

bool CSCSIStringAuthenticator::serialFromAnswer(const uint8_t* answer, size_t length,
                                                std::string* serial) {
  std::string text;
  for (size_t i = kSerialTextOffset; answer != nullptr && i < length && answer[i] != 0; ++i) {
    text.push_back(static_cast<char>(answer[i]));
  }
  if (text.size() >= sizeof(DeviceParams::serial)) return false;
  *serial = text;
  return true;
}
