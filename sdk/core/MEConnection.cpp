#include "MEConnection.h"

#include <cstring>

#include "DeviceHandle.h"
#include "InquiryData.h"
#include "MERegistry.h"
#include "PDKClock.h"
#include "PDKErrors.h"

namespace {

constexpr uint32_t kPollInterval = 100;
constexpr int kPollCount = 10;
constexpr int kSendTries = 2;
constexpr uint32_t kInquiryLength = 128;
constexpr uint32_t kIdentifierLength = 46;

// ASPI calls this when a posted request completes; completion is polled instead.
void ignoreCompletion(void*) {}

uint8_t pollStatus(const pdk::AspiExecScsiCmd& srb) {
  // The ASPI layer may complete the request from another thread.
  const volatile uint8_t* status = &srb.status;
  for (int i = 0; i < kPollCount && *status == pdk::kAspiStatusPending; ++i) {
    pdkos::sleep(kPollInterval);
  }
  return *status;
}

}  // namespace

CMEConnection::CMEConnection() : m_library(new pdkos::CDynamicLibrary("wnaspi32.dll")) {
  if (!m_library->loaded()) return;
  auto send = reinterpret_cast<pdk::SendAspi32CommandFn>(m_library->symbol("SendASPI32Command"));
  auto support =
      reinterpret_cast<pdk::GetAspi32SupportInfoFn>(m_library->symbol("GetASPI32SupportInfo"));
  if (send != nullptr && support != nullptr) {
    m_send = send;
    m_support = support;
  }
}

CMEConnection::~CMEConnection() = default;

bool CMEConnection::execute(int adapterId, int targetId, const pdk::ScsiCdb& cdb, void* data,
                            uint32_t length, bool dataIn) {
  if (!aspiLoaded()) return false;
  pdk::AspiExecScsiCmd srb;
  std::memset(&srb, 0, sizeof(srb));
  srb.cmd = pdk::kAspiCmdExecScsi;
  srb.haId = static_cast<uint8_t>(adapterId);
  srb.flags = dataIn ? pdk::kAspiFlagsDataIn : pdk::kAspiFlagsDataOut;
  srb.target = static_cast<uint8_t>(targetId);
  srb.lun = 0;
  srb.bufLen = length;
  srb.bufPointer = static_cast<uint8_t*>(data);
  srb.senseLen = pdk::kAspiSenseLength;
  srb.cdbLen = cdb.length;
  srb.postProc = ignoreCompletion;
  std::memcpy(srb.cdb, cdb.bytes, sizeof(srb.cdb));
  m_send(&srb);
  return pollStatus(srb) == pdk::kAspiStatusComplete;
}

bool CMEConnection::executeRetrying(int adapterId, int targetId, const pdk::ScsiCdb& cdb,
                                    void* data, uint32_t length, bool dataIn) {
  for (int attempt = 0; attempt < kSendTries; ++attempt) {
    if (execute(adapterId, targetId, cdb, data, length, dataIn)) return true;
  }
  return false;
}

int CMEConnection::failureCode(int adapterId, int targetId) {
  uint8_t answer[pdk::kReadCapacityLength] = {};
  return execute(adapterId, targetId, pdk::readCapacityCdb(), answer, sizeof(answer), true)
             ? pdk::kDeviceInternalError
             : pdk::kConnectionFailed;
}

int CMEConnection::hostAdapterCount() {
  if (!aspiLoaded()) return 0;
  pdk::AspiHaInquiry srb;
  std::memset(&srb, 0, sizeof(srb));
  srb.cmd = pdk::kAspiCmdHaInquiry;
  srb.haId = 0;
  m_send(&srb);
  return srb.status == pdk::kAspiStatusComplete ? srb.haCount : 0;
}

// ASPI needs no handle to be opened.
int CMEConnection::probeAccess() { return pdk::kOk; }

int CMEConnection::readCapacity(CDeviceHandle& handle, uint32_t* kilobytes) {
  if (kilobytes == nullptr) return pdk::kBadParameters;
  const DeviceParams& p = handle.params();
  uint8_t answer[pdk::kReadCapacityLength] = {};
  if (!execute(p.adapterId, p.targetId, pdk::readCapacityCdb(), answer, sizeof(answer), true)) {
    return pdk::kConnectionFailed;
  }
  *kilobytes = pdk::capacityKilobytes(answer);
  return pdk::kOk;
}

int CMEConnection::write10(CDeviceHandle& handle, const uint8_t* buffer, uint32_t firstSector,
                           uint32_t sectorCount, uint32_t) {
  if (!validTransfer(buffer, sectorCount)) return pdk::kBadParameters;
  const DeviceParams& p = handle.params();
  if (execute(p.adapterId, p.targetId,
              pdk::write10Cdb(firstSector, static_cast<uint8_t>(sectorCount)),
              const_cast<uint8_t*>(buffer), sectorCount * pdk::kSectorSize, false)) {
    return pdk::kOk;
  }
  return failureCode(p.adapterId, p.targetId);
}

int CMEConnection::read10(CDeviceHandle& handle, uint8_t* buffer, uint32_t firstSector,
                          uint32_t sectorCount, uint32_t) {
  if (!validTransfer(buffer, sectorCount)) return pdk::kBadParameters;
  const DeviceParams& p = handle.params();
  if (execute(p.adapterId, p.targetId,
              pdk::read10Cdb(firstSector, static_cast<uint8_t>(sectorCount)), buffer,
              sectorCount * pdk::kSectorSize, true)) {
    return pdk::kOk;
  }
  return failureCode(p.adapterId, p.targetId);
}

int CMEConnection::vendor(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                          const uint8_t* params, uint32_t dataLength, uint8_t* data, bool dataIn) {
  pdk::ScsiCdb cdb;
  if (!vendorRequest(subCode, paramLength, params, dataLength, data, &cdb)) {
    return pdk::kBadParameters;
  }
  const DeviceParams& p = handle.params();
  if (executeRetrying(p.adapterId, p.targetId, cdb, data, dataLength, dataIn)) return pdk::kOk;
  return failureCode(p.adapterId, p.targetId);
}

int CMEConnection::vendorOut(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                             const uint8_t* params, uint32_t dataLength, const uint8_t* data,
                             uint32_t) {
  return vendor(handle, subCode, paramLength, params, dataLength, const_cast<uint8_t*>(data),
                false);
}

int CMEConnection::vendorIn(CDeviceHandle& handle, uint16_t subCode, uint32_t paramLength,
                            const uint8_t* params, uint32_t dataLength, uint8_t* data, uint32_t) {
  return vendor(handle, subCode, paramLength, params, dataLength, data, true);
}

// ASPI addresses drives by adapter and target, never by path.
bool CMEConnection::buildVolumePath(char, char*, size_t) { return false; }

int CMEConnection::_inquiry(CDeviceHandle& handle, uint8_t* data, uint32_t* received) {
  *received = 0;
  const DeviceParams& p = handle.params();
  if (!executeRetrying(p.adapterId, p.targetId, pdk::inquiryCdb(kInquiryLength), data,
                       kInquiryLength, true)) {
    return pdk::kGeneralError;
  }
  *received = kInquiryLength;
  return pdk::kOk;
}

int CMEConnection::_reportIdentifier(CDeviceHandle& handle, uint8_t* data) {
  const DeviceParams& p = handle.params();
  if (!executeRetrying(p.adapterId, p.targetId, pdk::reportIdentifierCdb(kIdentifierLength), data,
                       kIdentifierLength, true)) {
    return pdk::kGeneralError;
  }
  return pdk::kOk;
}

int CMEConnection::inquireAndRecognize(DeviceParams& params, bool productCheck) {
  // The handle only carries adapter and target: ASPI opens nothing.
  CDeviceHandle handle(params);
  uint8_t data[kInquiryLength] = {};
  uint32_t received = 0;
  if (_inquiry(handle, data, &received) != pdk::kOk) return pdk::kGeneralError;

  if (acceptInquiry(handle, data, received, params, productCheck)) {
    params.status = pdk::kOk;
  } else if (!CInquiryData::revisionIdentifies(params.revision) ||
             reportIdentifier(params) != pdk::kOk) {
    params.status = pdk::kNotAuthenticated;
    return pdk::kNotAuthenticated;
  }
  // Windows may not have given the disk its letters yet: the drive is recognised either way.
  CMERegistry().readDriveLetters(params);
  return pdk::kOk;
}

int CMEConnection::reportIdentifier(DeviceParams& params) {
  CDeviceHandle handle(params);
  uint8_t answer[kIdentifierLength] = {};
  if (_reportIdentifier(handle, answer) != pdk::kOk) return pdk::kGeneralError;
  return identify(answer, sizeof(answer), params);
}

bool CMEConnection::isInstanceRegistered(const char* text) {
  return text != nullptr && CMERegistry().isInstanceRegistered(text);
}

// Windows ME offers no way to eject a drive.
bool CMEConnection::eject(const DeviceParams&) { return false; }
