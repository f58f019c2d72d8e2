#include "98Connection.h"

#include <cstring>

#include "CommandBlocks.h"
#include "DeviceHandle.h"
#include "InquiryData.h"
#include "PDKErrors.h"
#include "Win98Registry.h"

namespace {
// The 98 SE driver takes the ten-byte forms of READ CAPACITY, READ and WRITE.
constexpr uint32_t kTransferCdbLength = 10;
constexpr uint32_t kVendorCdbLength = 14;
constexpr uint32_t kInquiryLength = 36;
constexpr uint32_t kIdentifierLength = 46;
}  // namespace

int C98Connection::send(CDeviceHandle& handle, const pdk::ScsiCdb& cdb, uint32_t cdbLength,
                        void* data, uint32_t length, bool dataIn) {
  CDeviceHandle::ScopedOpen open(handle, *this);
  if (open.result() != pdk::kOk) return open.result();

  uint8_t cdbArea[pdk::kUsb98CdbArea] = {};
  std::memcpy(cdbArea, cdb.bytes, sizeof(cdb.bytes));
  uint8_t status = 0;

  pdk::Usb98Block block;
  std::memset(&block, 0, sizeof(block));
  block.cdb = cdbArea;
  block.cdbLength = cdbLength;
  block.data = static_cast<uint8_t*>(data);
  block.dataLength = length;
  block.dataIn = dataIn ? 1 : 0;
  block.status = &status;

  uint32_t returned = 0;
  if (!pdk::devicePort().control(handle.handle(), pdk::kIoctl98Command, &block, sizeof(block),
                                 &block, sizeof(block), &returned)) {
    return pdk::kConnectionFailed;
  }
  return status == 0 ? pdk::kOk : pdk::kDeviceInternalError;
}

// Every user may talk to the USB driver on 98 SE.
int C98Connection::probeAccess() { return pdk::kOk; }

int C98Connection::readCapacity(CDeviceHandle& handle, uint32_t* kilobytes) {
  if (kilobytes == nullptr) return pdk::kBadParameters;
  uint8_t answer[pdk::kReadCapacityLength] = {};
  const int result =
      send(handle, pdk::readCapacityCdb(), kTransferCdbLength, answer, sizeof(answer), true);
  if (result == pdk::kOk) *kilobytes = pdk::capacityKilobytes(answer);
  return result;
}

int C98Connection::write10(CDeviceHandle& handle, const uint8_t* buffer, uint32_t firstSector,
                           uint32_t sectorCount, uint32_t) {
  if (!validTransfer(buffer, sectorCount)) return pdk::kBadParameters;
  return send(handle, pdk::write10Cdb(firstSector, static_cast<uint8_t>(sectorCount)),
              kTransferCdbLength, const_cast<uint8_t*>(buffer), sectorCount * pdk::kSectorSize,
              false);
}

int C98Connection::read10(CDeviceHandle& handle, uint8_t* buffer, uint32_t firstSector,
                          uint32_t sectorCount, uint32_t) {
  if (!validTransfer(buffer, sectorCount)) return pdk::kBadParameters;
  return send(handle, pdk::read10Cdb(firstSector, static_cast<uint8_t>(sectorCount)),
              kTransferCdbLength, buffer, sectorCount * pdk::kSectorSize, true);
}

int C98Connection::vendor(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                          const uint8_t* params, uint32_t dataLength, uint8_t* data, bool dataIn) {
  pdk::ScsiCdb cdb;
  if (!vendorRequest(subCode, paramLength, params, dataLength, data, &cdb)) {
    return pdk::kBadParameters;
  }
  return send(handle, cdb, kVendorCdbLength, data, dataLength, dataIn);
}

int C98Connection::vendorOut(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                             const uint8_t* params, uint32_t dataLength, const uint8_t* data,
                             uint32_t) {
  return vendor(handle, subCode, paramLength, params, dataLength, const_cast<uint8_t*>(data),
                false);
}

int C98Connection::vendorIn(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                            const uint8_t* params, uint32_t dataLength, uint8_t* data, uint32_t) {
  return vendor(handle, subCode, paramLength, params, dataLength, data, true);
}

bool C98Connection::buildVolumePath(char letter, char* path, size_t size) {
  return CWin98Registry().buildVolumePath(letter, path, size);
}

int C98Connection::_inquiry(CDeviceHandle& handle, uint8_t* data, uint32_t* received) {
  *received = 0;
  const pdk::ScsiCdb cdb = pdk::inquiryCdb(kInquiryLength);
  const int result = send(handle, cdb, cdb.length, data, kInquiryLength, true);
  if (result == pdk::kOk) *received = kInquiryLength;
  return result;
}

int C98Connection::_reportIdentifier(CDeviceHandle& handle, uint8_t* data) {
  const pdk::ScsiCdb cdb = pdk::reportIdentifierCdb(kIdentifierLength);
  return send(handle, cdb, cdb.length, data, kIdentifierLength, true);
}

int C98Connection::inquireAndRecognize(DeviceParams& params, bool productCheck) {
  // One handle for every command: closing it would forget the device path.
  CDeviceHandle handle(params);
  if (handle.open(*this) != pdk::kOk) return pdk::kGeneralError;

  uint8_t data[pdk::kInquiryBufferLength] = {};
  uint32_t received = 0;
  const int result = _inquiry(handle, data, &received);
  if (result != pdk::kOk) {
    params.status = pdk::kNotReady;
    return result;
  }
  if (acceptInquiry(handle, data, received, params, productCheck)) {
    params.status = pdk::kOk;
    return pdk::kOk;
  }
  if (CInquiryData::revisionIdentifies(params.revision) &&
      identifyThrough(handle, params) == pdk::kOk) {
    return pdk::kOk;
  }
  params.status = pdk::kNotAuthenticated;
  return pdk::kNotAuthenticated;
}

int C98Connection::reportIdentifier(DeviceParams& params) {
  CDeviceHandle handle(params);
  if (handle.open(*this) != pdk::kOk) return pdk::kGeneralError;
  return identifyThrough(handle, params);
}

int C98Connection::identifyThrough(CDeviceHandle& handle, DeviceParams& params) {
  uint8_t answer[kIdentifierLength] = {};
  if (_reportIdentifier(handle, answer) != pdk::kOk) {
    params.status = pdk::kNotReady;
    return pdk::kConnectionFailed;
  }
  return identify(answer, sizeof(answer), params);
}

bool C98Connection::isInstanceRegistered(const char* text) {
  return text != nullptr && CWin98Registry().isInstanceRegistered(text);
}

// Windows 98 SE needs no request: the drive may simply be pulled.
bool C98Connection::eject(const DeviceParams&) { return true; }
