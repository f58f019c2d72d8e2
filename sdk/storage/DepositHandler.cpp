#include "DepositHandler.h"

#include <cstring>

#include "Connection.h"
#include "CookieImpl.h"
#include "DiskUtils.h"
#include "FatFormatter.h"
#include "GuardedNotify.h"
#include "OSKind.h"
#include "PDKClock.h"
#include "PDKErrors.h"
#include "PDKTrace.h"
#include "ScsiCdb.h"

namespace {

constexpr uint32_t kRecordWords = 5;
constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kBusyPollMs = 250;
constexpr uint32_t kFormatWeight = 50;
constexpr int64_t kMinSafeOldFirmware = 409600;
constexpr int64_t kMinSafe = 921600;

}  // namespace

CDepositHandler::CDepositHandler(IConnection& connection, const DeviceParams& params)
    : m_connection(connection), m_params(params), m_backup(connection) {}

bool CDepositHandler::padPassword(const char* password, uint8_t (&out)[kPasswordLength]) {
  std::memset(out, 0, sizeof(out));
  if (password == nullptr) return false;
  const size_t length = std::strlen(password);
  if (length > kPasswordLength) return false;
  std::memcpy(out, password, length);
  return true;
}

int CDepositHandler::sendOut(CDeviceHandle& dev, uint16_t subCode, const uint8_t* data,
                             uint32_t length) {
  return m_connection.vendorOut(dev, subCode, 0, nullptr, length, data, pdk::kDefaultTimeout);
}

int CDepositHandler::sendIn(CDeviceHandle& dev, uint16_t subCode, uint8_t* data,
                            uint32_t length) {
  return m_connection.vendorIn(dev, subCode, 0, nullptr, length, data, pdk::kDefaultTimeout);
}

int CDepositHandler::readWords(CDeviceHandle& dev, uint16_t subCode, int count,
                               DepositRecord& record) {
  uint8_t answer[sizeof(record.words)] = {};
  const int rc = sendIn(dev, subCode, answer, static_cast<uint32_t>(count * 4));
  if (rc != pdk::kOk) return rc;
  record = DepositRecord();
  for (int i = 0; i < count; ++i) record.words[i] = pdk::le32(answer + 4 * i);
  return pdk::kOk;
}

int CDepositHandler::readDepositConfig(CDeviceHandle& dev, DepositRecord& record) {
  const int rc = readWords(dev, kSubCodeRecord, kRecordWords, record);
  // A safe partition larger than the drive is a damaged answer, not a size.
  if (rc == pdk::kOk && record.words[2] > record.words[1]) return pdk::kDeviceInternalError;
  return rc;
}

int CDepositHandler::getPartitionSizes(CDeviceHandle& dev, int64_t& publicBytes,
                                       int64_t& safeBytes, int64_t& dummyBytes) {
  DepositRecord r;
  const int rc = readDepositConfig(dev, r);
  if (rc != pdk::kOk) return rc;
  // Sizes of drives beyond 2 GB do not fit the 32 bits the record counts in.
  publicBytes = (static_cast<int64_t>(r.words[1]) - r.words[2]) * kSectorSize;
  safeBytes = static_cast<int64_t>(r.words[2]) * kSectorSize;
  dummyBytes = 0;
  return pdk::kOk;
}

int CDepositHandler::isInSafePartition(CDeviceHandle& dev, bool& inSafe) {
  DepositRecord r;
  const int rc = readDepositConfig(dev, r);
  if (rc == pdk::kOk) inSafe = r.words[3] != 0;
  return rc;
}

int CDepositHandler::safePartitionExist(CDeviceHandle& dev, bool& exists) {
  DepositRecord r;
  const int rc = readDepositConfig(dev, r);
  if (rc == pdk::kOk) exists = r.words[2] != 0;
  return rc;
}

int CDepositHandler::depositFlag(CDeviceHandle& dev, bool& flag) {
  DepositRecord r;
  const int rc = readDepositConfig(dev, r);
  if (rc == pdk::kOk) flag = r.words[0] != 0;
  return rc;
}

int CDepositHandler::minPartitionSize(CDeviceHandle&, int64_t& minSafe, int64_t& minDummy) {
  minSafe = m_params.revision[0] <= '2' ? kMinSafeOldFirmware : kMinSafe;
  minDummy = 0;
  return pdk::kOk;
}

bool CDepositHandler::lockForSwitch(CDeviceHandle&) { return true; }

int CDepositHandler::resetDevice(CDeviceHandle&) { return pdk::kOk; }

bool CDepositHandler::_deviceIsReady(CDeviceHandle& dev) {
  resetDevice(dev);
  for (int attempt = 0; attempt < kReadyTries; ++attempt) {
    if (attempt > 0) pdkos::sleep(kReadyPauseMs);
    uint32_t kilobytes = 0;
    if (m_connection.readCapacity(dev, &kilobytes) == pdk::kOk) return true;
  }
  return false;
}

int CDepositHandler::getLunMode(CDeviceHandle&) { return -1; }

int CDepositHandler::setLunMode(CDeviceHandle&, int, IDepositNotify*) {
  return pdk::kNotSupported;
}

int CDepositHandler::formatFixDiskPartitions(CDeviceHandle&, const DepositParams&,
                                             IDepositNotify*) {
  return pdk::kNotSupported;
}

int CDepositHandler::sendChangePassword(CDeviceHandle& dev, const char* password1,
                                        const char* password2, bool realLengths) {
  uint8_t first[kPasswordLength];
  uint8_t second[kPasswordLength];
  if (!padPassword(password1, first) || !padPassword(password2, second))
    return pdk::kBadParameters;
  uint8_t block[40] = {};
  pdk::putLe32(block, realLengths ? static_cast<uint32_t>(std::strlen(password1)) : kPasswordLength);
  std::memcpy(block + 4, first, kPasswordLength);
  pdk::putLe32(block + 20, realLengths ? static_cast<uint32_t>(std::strlen(password2)) : kPasswordLength);
  std::memcpy(block + 24, second, kPasswordLength);
  return sendOut(dev, kSubCodeChangePassword, block, sizeof(block));
}

int CDepositHandler::changePassword(CDeviceHandle& dev, const char* password1,
                                    const char* password2) {
  if (m_params.revision[0] < '3') return pdk::kNotSupported;
  return sendChangePassword(dev, password1, password2, false);
}

int CDepositHandler::checkSwitch(CDeviceHandle& dev, bool toSafe) {
  bool exists = false;
  int rc = safePartitionExist(dev, exists);
  if (rc != pdk::kOk) return rc;
  if (!exists) return pdk::kNoSafePartition;
  bool inSafe = false;
  rc = isInSafePartition(dev, inSafe);
  if (rc != pdk::kOk) return rc;
  if (inSafe == toSafe) return pdk::kNoNeedToDetach;
  return lockForSwitch(dev) ? pdk::kOk : pdk::kCantLockDevice;
}

int CDepositHandler::enterSafePartition(CDeviceHandle& dev, const char* password,
                                        IDepositNotify*) {
  int rc = checkSwitch(dev, true);
  if (rc != pdk::kOk) return rc;
  uint8_t block[kPasswordLength];
  if (!padPassword(password, block)) return pdk::kBadParameters;
  rc = sendOut(dev, kSubCodeSwitch, block, sizeof(block));
  if (rc != pdk::kOk) {
    PDKTrace("ERROR:CDepositHandler::enterSafePartition-failed to switch partitions error code %d\n",
             rc);
  } else {
    std::memcpy(m_password, block, sizeof(m_password));
  }
  if (!_deviceIsReady(dev)) rc = pdk::kGeneralError;
  return rc;
}

int CDepositHandler::exitSafePartition(CDeviceHandle& dev) {
  int rc = checkSwitch(dev, false);
  if (rc != pdk::kOk) return rc;
  const uint8_t block[kPasswordLength] = {};
  rc = sendOut(dev, kSubCodeSwitch, block, sizeof(block));
  if (rc != pdk::kOk) {
    PDKTrace("ERROR:CDepositHandler::exitSafePartition-failed to switch partitions, error code %d\n",
             rc);
  }
  if (!_deviceIsReady(dev)) rc = pdk::kGeneralError;
  return rc;
}

bool CDepositHandler::_formatDevicePartitions(CDeviceHandle& dev, int64_t safeBytes,
                                              const char* password, bool doSwitch,
                                              const char* label, IDepositNotify* notify) {
  const int kind = GetOSKind();
  if (kind == pdk::kOSWin98SE || kind == pdk::kOSWinME) {
    resetDevice(dev);
  } else if (!_deviceIsReady(dev)) {
    return false;
  }
  CFatFormatter formatter(m_connection);
  formatter.setWeight(kFormatWeight);
  if (formatter.format(dev, notify, label) != pdk::kOk) return false;
  while (formatter.isBusy()) pdkos::sleep(kBusyPollMs);

  if (safeBytes != 0) {
    if (lockForSwitch(dev)) {
      uint8_t block[kPasswordLength];
      padPassword(password, block);
      const int rc = sendOut(dev, kSubCodeSwitch, block, sizeof(block));
      if (rc != pdk::kOk) {
        PDKTrace("ERROR CDepositHandler::_formatDevicePartitions - switch cmd returned %d code\n", rc);
        return false;
      }
    }
    return _formatDevicePartitions(dev, 0, password, true, label, notify);
  }
  if (doSwitch && lockForSwitch(dev)) {
    // The empty password presents the public partition again.
    const uint8_t block[kPasswordLength] = {};
    const int rc = sendOut(dev, kSubCodeSwitch, block, sizeof(block));
    if (rc != pdk::kOk) {
      PDKTrace("ERROR CDepositHandler::_formatDevicePartitions - switch cmd returned %d code\n", rc);
      return false;
    }
  }
  if (!_deviceIsReady(dev)) {
    PDKTrace("ERROR CDepositHandler::_formatDevicePartitions - _deviceIsReady failed\n");
    return false;
  }
  return true;
}

int CDepositHandler::storeHint(const DepositParams& params) {
  return CCookieImpl(m_connection, m_params).setPasswordHint(params.hint);
}

int CDepositHandler::configureDiskPartitions(const DepositParams& params, CDeviceHandle& dev,
                                             IDepositNotify* sink, bool syncFlag) {
  CGuardedNotify notify(sink);
  DepositRecord record;
  int rc = readDepositConfig(dev, record);
  if (rc != pdk::kOk) return rc;

  uint8_t block[20] = {};
  const uint32_t unit = record.words[4] != 0 ? record.words[4] : 1;
  pdk::putLe32(block, static_cast<uint32_t>(params.safeBytes / kSectorSize) / unit);
  uint8_t password[kPasswordLength];
  padPassword(params.password, password);
  std::memcpy(block + 4, password, sizeof(password));
  // Saved before the drive re-lays its partitions, which may clear the hidden
  // area: a page that cannot be read stops the configuration here.
  rc = m_backup.save(dev);
  if (rc != pdk::kOk) {
    notify.onError(rc, "Failed to format device");
    return rc;
  }
  rc = sendOut(dev, kSubCodeConfigure, block, sizeof(block));
  if (rc != pdk::kOk) {
    m_backup.release();
    PDKTrace("ERROR:CDepositHandler::configureDiskPartitions-failed to configure deposit, error: %d\n",
             rc);
    notify.onError(rc, "Failed to format device");
    return rc;
  }

  CFatFormatter::resetProgress();
  if (!_formatDevicePartitions(dev, params.safeBytes, params.password, false, params.publicLabel,
                               &notify)) {
    rc = pdk::kFormatFailed;
  }
  CFatFormatter::resetProgress();
  // The pages go back whatever became of the format: a failed one must not
  // cost the drive its hidden area as well.
  const int restored = m_backup.restore(dev);
  if (rc == pdk::kOk) rc = restored;

  if (GetOSKind() != pdk::kOSWin98SE) {
    CDiskUtils::unlockHandle(&dev);
    if (rc == pdk::kOk) rc = sendOut(dev, kSubCodeConfigured, nullptr, 0);
  }
  // The hint is part of the configuration: one that did not reach the drive
  // is a failure the caller hears of.
  if (rc == pdk::kOk) rc = storeHint(params);
  if (rc != pdk::kOk) {
    notify.onError(rc, "Failed to format device");
    return rc;
  }
  notify.onFormatDone();
  if (!syncFlag) notify.onCompleted();
  return pdk::kOk;
}
