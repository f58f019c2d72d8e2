// The accept step of recognition: whether the INQUIRY answer of a drive names
// one of the maker's drives, and its serial number by the vendor command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "DeviceParams.h"
#include "InquiryData.h"

class CDeviceHandle;
class IConnection;

class CSCSIStringAuthenticator {
 public:
  static constexpr uint16_t kSubCodeSerial = 0x0100;
  static constexpr uint32_t kSerialAnswerLength = 40;
  static constexpr size_t kSerialTextOffset = 6;

  explicit CSCSIStringAuthenticator(IConnection& connection) : m_connection(connection) {}

  // Copies vendor, product and revision into params (unless the product is
  // empty), checks them and asks the drive for its serial. True: accepted, with
  // the serial in params.
  bool accept(CDeviceHandle& handle, const CInquiryData& data, DeviceParams& params,
              bool productCheck);

  // The serial text of a serial answer: from byte 6 up to the first NUL or the
  // end of the answer. False when the text would not fit the serial field: a cut
  // serial would be another drive's identity.
  static bool serialFromAnswer(const uint8_t* answer, size_t length, std::string* serial);

 private:
  IConnection& m_connection;
};
