#include "NTConnection.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "DeviceHandle.h"
#include "NTRegistry.h"
#include "PDKErrors.h"

namespace {

constexpr uint8_t kTargetId = 1;
constexpr uint8_t kSenseInfoLength = 24;
constexpr uint32_t kTemplateTimeout = 10;
constexpr uint32_t kIdentifierTimeout = 1;
// An INQUIRY answer counts only with more than 112 bytes back on the 32-bit
// buffered block, whose data start at offset 80: at least 33 data bytes. Counted
// in data bytes, the 64-bit block (data at offset 92) asks the same of the drive.
constexpr uint32_t kMinInquiryDataBytes = 113 - 80;

template <typename Header>
void fillHeader(Header& h, const pdk::ScsiCdb& cdb, bool dataIn, uint32_t length,
                uint32_t senseOffset) {
  h.length = sizeof(Header);
  h.pathId = 0;
  h.targetId = kTargetId;
  h.lun = 0;
  h.cdbLength = cdb.length;
  h.senseInfoLength = kSenseInfoLength;
  h.dataIn = dataIn ? 1 : 0;
  h.dataTransferLength = length;
  h.timeOutValue = kTemplateTimeout;
  h.senseInfoOffset = senseOffset;
  std::memcpy(h.cdb, cdb.bytes, sizeof(h.cdb));
}

}  // namespace

int CNTConnection::sendDirect(CDeviceHandle& handle, const pdk::ScsiCdb& cdb, void* data,
                              uint32_t length, bool dataIn, uint32_t timeout) {
  CDeviceHandle::ScopedOpen open(handle, *this);
  if (open.result() != pdk::kOk) return open.result();

  pdk::ScsiDirectBlock block;
  std::memset(&block, 0, sizeof(block));
  fillHeader(block.header, cdb, dataIn, length, offsetof(pdk::ScsiDirectBlock, sense));
  block.header.dataBuffer = data;
  block.header.timeOutValue = timeout;

  uint32_t returned = 0;
  if (!pdk::devicePort().control(handle.handle(), pdk::kIoctlScsiPassThroughDirect, &block,
                                 sizeof(block), &block, sizeof(block), &returned)) {
    return pdk::kConnectionFailed;
  }
  return block.header.scsiStatus == 0 ? pdk::kOk : pdk::kDeviceInternalError;
}

int CNTConnection::sendBuffered(CDeviceHandle& handle, const pdk::ScsiCdb& cdb,
                                pdk::ScsiBufferedBlock* block, uint32_t dataLength,
                                uint32_t* returned) {
  CDeviceHandle::ScopedOpen open(handle, *this);
  if (open.result() != pdk::kOk) return open.result();

  std::memset(block, 0, sizeof(*block));
  const bool dataIn = dataLength > 0;
  fillHeader(block->header, cdb, dataIn, dataLength, offsetof(pdk::ScsiBufferedBlock, sense));
  block->header.dataBufferOffset = offsetof(pdk::ScsiBufferedBlock, data);

  // Only the header goes down; the header, the sense bytes and the answer come back.
  const uint32_t outLength = offsetof(pdk::ScsiBufferedBlock, data) + dataLength;
  *returned = 0;
  if (!pdk::devicePort().control(handle.handle(), pdk::kIoctlScsiPassThrough, block,
                                 sizeof(block->header), block, outLength, returned)) {
    return pdk::kConnectionFailed;
  }
  return block->header.scsiStatus == 0 ? pdk::kOk : pdk::kDeviceInternalError;
}

int CNTConnection::probeAccess() {
  CDeviceHandle handle('C');
  return handle.open(*this) == pdk::kOk ? pdk::kOk : pdk::kCantAccessDevice;
}

int CNTConnection::readCapacity(CDeviceHandle& handle, uint32_t* kilobytes) {
  if (kilobytes == nullptr) return pdk::kBadParameters;
  uint8_t answer[pdk::kReadCapacityLength] = {};
  const int result =
      sendDirect(handle, pdk::readCapacityCdb(), answer, sizeof(answer), true, kTemplateTimeout);
  if (result == pdk::kOk) *kilobytes = pdk::capacityKilobytes(answer);
  return result;
}

int CNTConnection::write10(CDeviceHandle& handle, const uint8_t* buffer, uint32_t firstSector,
                           uint32_t sectorCount, uint32_t timeout) {
  if (!validTransfer(buffer, sectorCount)) return pdk::kBadParameters;
  // The driver only reads the data of a write; the block's pointer is not const.
  return sendDirect(handle, pdk::write10Cdb(firstSector, static_cast<uint8_t>(sectorCount)),
                    const_cast<uint8_t*>(buffer), sectorCount * pdk::kSectorSize, false, timeout);
}

int CNTConnection::read10(CDeviceHandle& handle, uint8_t* buffer, uint32_t firstSector,
                          uint32_t sectorCount, uint32_t timeout) {
  if (!validTransfer(buffer, sectorCount)) return pdk::kBadParameters;
  return sendDirect(handle, pdk::read10Cdb(firstSector, static_cast<uint8_t>(sectorCount)), buffer,
                    sectorCount * pdk::kSectorSize, true, timeout);
}

int CNTConnection::sendVendor(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                              const uint8_t* params, uint32_t dataLength, uint8_t* data,
                              bool dataIn, uint32_t timeout) {
  pdk::ScsiCdb cdb;
  if (!vendorRequest(subCode, paramLength, params, dataLength, data, &cdb)) {
    return pdk::kBadParameters;
  }
  if (dataLength > 0) return sendDirect(handle, cdb, data, dataLength, dataIn, timeout);
  // Without data the buffered request is used, so no null data pointer reaches the driver.
  pdk::ScsiBufferedBlock block;
  uint32_t returned = 0;
  return sendBuffered(handle, cdb, &block, 0, &returned);
}

int CNTConnection::vendorOut(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                             const uint8_t* params, uint32_t dataLength, const uint8_t* data,
                             uint32_t timeout) {
  return sendVendor(handle, subCode, paramLength, params, dataLength, const_cast<uint8_t*>(data),
                    false, timeout);
}

int CNTConnection::vendorIn(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                            const uint8_t* params, uint32_t dataLength, uint8_t* data,
                            uint32_t timeout) {
  return sendVendor(handle, subCode, paramLength, params, dataLength, data, true, timeout);
}

bool CNTConnection::buildVolumePath(char letter, char* path, size_t size) {
  const int n = std::snprintf(path, size, "\\\\.\\%c:", letter);
  return n > 0 && static_cast<size_t>(n) < size;
}

int CNTConnection::_inquiry(CDeviceHandle& handle, uint8_t* data, uint32_t* received) {
  constexpr uint32_t kLength = 36;
  pdk::ScsiBufferedBlock block;
  uint32_t returned = 0;
  *received = 0;
  const int result = sendBuffered(handle, pdk::inquiryCdb(kLength), &block, kLength, &returned);
  if (result != pdk::kOk) return result;
  const uint32_t dataOffset = offsetof(pdk::ScsiBufferedBlock, data);
  *received = returned > dataOffset ? returned - dataOffset : 0;
  if (*received > kLength) *received = kLength;
  std::memcpy(data, block.data, kLength);
  return pdk::kOk;
}

int CNTConnection::_reportIdentifier(CDeviceHandle& handle, uint8_t* data) {
  CDeviceHandle::ScopedOpen open(handle, *this);
  if (open.result() != pdk::kOk) return open.result();

  pdk::ScsiIdentifierBlock block;
  std::memset(&block, 0, sizeof(block));
  const pdk::ScsiCdb cdb = pdk::reportIdentifierCdb(pdk::kIdentifierLengthNT);
  fillHeader(block.direct.header, cdb, true, pdk::kIdentifierLengthNT,
             offsetof(pdk::ScsiDirectBlock, sense));
  block.direct.header.dataBuffer = block.data;
  block.direct.header.timeOutValue = kIdentifierTimeout;

  uint32_t returned = 0;
  if (!pdk::devicePort().control(handle.handle(), pdk::kIoctlScsiPassThroughDirect, &block,
                                 sizeof(block), &block, sizeof(block), &returned)) {
    return pdk::kConnectionFailed;
  }
  if (block.direct.header.scsiStatus != 0) return pdk::kDeviceInternalError;
  std::memcpy(data, block.data, pdk::kIdentifierLengthNT);
  return pdk::kOk;
}

int CNTConnection::inquireAndRecognize(DeviceParams& params, bool productCheck) {
  CDeviceHandle handle(params);
  if (handle.open(*this) != pdk::kOk) return pdk::kGeneralError;

  uint8_t data[pdk::kInquiryBufferLength] = {};
  uint32_t received = 0;
  const int result = _inquiry(handle, data, &received);
  if (result != pdk::kOk) {
    params.status = pdk::kNotReady;
    return result;
  }
  if (received < kMinInquiryDataBytes) {
    params.status = pdk::kNotReady;
    return pdk::kGeneralError;
  }
  if (!acceptInquiry(handle, data, received, params, productCheck)) {
    params.status = pdk::kNotAuthenticated;
    return pdk::kNotAuthenticated;
  }
  params.status = pdk::kOk;
  return pdk::kOk;
}

int CNTConnection::reportIdentifier(DeviceParams& params) {
  CDeviceHandle handle(params);
  if (handle.open(*this) != pdk::kOk) return pdk::kGeneralError;
  uint8_t answer[pdk::kIdentifierBufferLength] = {};
  const int result = _reportIdentifier(handle, answer);
  if (result != pdk::kOk) return result;
  return identify(answer, pdk::kIdentifierLengthNT, params);
}

bool CNTConnection::isInstanceRegistered(const char* text) {
  return text != nullptr && CNTRegistry().isInstanceRegistered(text);
}

bool CNTConnection::eject(const DeviceParams& params) {
  const char* end = std::find(params.serial, params.serial + sizeof(params.serial), '\0');
  const std::string serial(params.serial, end);
  // Every instance name would contain an empty serial.
  if (serial.empty()) return false;
  // The walk is this call's own: the connection is shared by every thread.
  pdkos::CDeviceInstaller::Enumeration devices(m_installer);
  for (uint32_t index = 0; devices.selectDevice(index); ++index) {
    std::string description;
    if (!devices.property(pdkos::CDeviceInstaller::Property::kDescription, &description)) continue;
    if (description.compare(0, 3, "USB") != 0 &&
        description != "Plunda USB personal storage device")
      continue;
    std::string driver;
    std::string instance;
    if (!devices.property(pdkos::CDeviceInstaller::Property::kDriver, &driver) ||
        !CNTRegistry().findInstanceByDriver(driver, &instance) ||
        instance.find(serial) == std::string::npos)
      continue;
    return devices.requestEject();
  }
  return false;
}
