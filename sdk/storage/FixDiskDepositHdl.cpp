#include "FixDiskDepositHdl.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "Connection.h"
#include "DeviceHandle.h"
#include "FatFormatter.h"
#include "GuardedNotify.h"
#include "OSKind.h"
#include "PDKErrors.h"
#include "PDKSDK.h"
#include "PDKThread.h"
#include "PDKTrace.h"
#include "ReattachThread.h"
#include "ReconnectJob.h"
#include "ScsiCdb.h"

namespace {

constexpr int kRecordWords = 7;
constexpr uint32_t kSectorSize = 512;
constexpr int64_t kMinDummyBytesOfShiftedFactor = 900;
constexpr int64_t kMinSafeBytesOfShiftedFactor = 1800;

void runThread(void* argument) {
  std::unique_ptr<CReattachThread::Work> reattach(static_cast<CReattachThread::Work*>(argument));
  try {
    CReattachThread::runJob(reattach->job, reattach->notify);
  } catch (...) {
    PDKTrace("caught exception in CFixDiskDepositHdl::runThread\n");
  }
}

}  // namespace

int64_t CFixDiskDepositHdl::unitBytes(const DepositRecord& record) {
  return static_cast<int64_t>(record.words[1]) * record.words[2] * kSectorSize;
}

int CFixDiskDepositHdl::readDepositConfig(CDeviceHandle& dev, DepositRecord& record) {
  const int rc = readWords(dev, kSubCodeRecord, kRecordWords, record);
  if (rc != pdk::kOk) return rc;
  // A drive beyond 32-bit sector numbers, or partitions larger than the drive,
  // is a damaged answer: its byte sizes would overflow or go negative.
  const uint32_t* w = record.words;
  const uint64_t unitSectors = static_cast<uint64_t>(w[1]) * w[2];
  if (unitSectors > 0xFFFFFFFFu / (w[0] != 0 ? w[0] : 1)) return pdk::kDeviceInternalError;
  if (unitSectors != 0 && static_cast<uint64_t>(w[4]) + w[5] > w[0])
    return pdk::kDeviceInternalError;
  return pdk::kOk;
}

int CFixDiskDepositHdl::getPartitionSizes(CDeviceHandle& dev, int64_t& publicBytes,
                                          int64_t& safeBytes, int64_t& dummyBytes) {
  DepositRecord r;
  const int rc = readDepositConfig(dev, r);
  if (rc != pdk::kOk) return rc;
  const int64_t unit = unitBytes(r);
  safeBytes = r.words[4] * unit;
  dummyBytes = r.words[5] * unit;
  publicBytes = r.words[0] * unit - safeBytes - dummyBytes;
  return pdk::kOk;
}

int CFixDiskDepositHdl::isInSafePartition(CDeviceHandle& dev, bool& inSafe) {
  DepositRecord r;
  const int rc = readDepositConfig(dev, r);
  if (rc == pdk::kOk) inSafe = r.words[6] != 0;
  return rc;
}

int CFixDiskDepositHdl::safePartitionExist(CDeviceHandle& dev, bool& exists) {
  DepositRecord r;
  const int rc = readDepositConfig(dev, r);
  if (rc == pdk::kOk) exists = r.words[4] != 0;
  return rc;
}

int CFixDiskDepositHdl::depositFlag(CDeviceHandle&, bool& flag) {
  flag = true;
  return pdk::kOk;
}

void CFixDiskDepositHdl::sizeLimits(uint32_t sectors, uint32_t secondFactor, int64_t unit,
                                    int64_t& minSafe, int64_t& minDummy) {
  int shift = 1;
  if (sectors < 16000) {
    shift = 4;
  } else if (sectors >= 16001 && sectors <= 524286) {
    shift = 5;
  } else if (sectors >= 524288 && sectors <= 1048575) {
    shift = 6;
  } else if (sectors >= 1048576 && sectors <= 2097152) {
    shift = 7;
  }
  const int64_t step = static_cast<int64_t>(secondFactor) << shift;
  // The least whole number of units whose shifted factor reaches the bound.
  const auto units = [step](int64_t bound) { return step > 0 ? (bound + step - 1) / step : 1; };
  const int64_t dummyUnits = units(kMinDummyBytesOfShiftedFactor);
  const int64_t safeUnits = units(kMinSafeBytesOfShiftedFactor);
  minDummy = (dummyUnits < 1 ? 1 : dummyUnits) * unit;
  minSafe = (safeUnits < 1 ? 1 : safeUnits) * unit;
}

int CFixDiskDepositHdl::minPartitionSize(CDeviceHandle& dev, int64_t& minSafe, int64_t& minDummy) {
  DepositRecord r;
  int rc = readDepositConfig(dev, r);
  if (rc != pdk::kOk) return rc;
  uint32_t kilobytes = 0;
  rc = m_connection.readCapacity(dev, &kilobytes);
  if (rc != pdk::kOk) return rc;
  sizeLimits(kilobytes * 2, r.words[2], unitBytes(r), minSafe, minDummy);
  return pdk::kOk;
}

int CFixDiskDepositHdl::changePassword(CDeviceHandle& dev, const char* password1,
                                       const char* password2) {
  return sendChangePassword(dev, password1, password2, true);
}

int CFixDiskDepositHdl::getLunMode(CDeviceHandle& dev) {
  DepositRecord r;
  return readWords(dev, kSubCodeGetLunMode, 1, r) == pdk::kOk ? static_cast<int>(r.words[0]) : -1;
}

int CFixDiskDepositHdl::setLunMode(CDeviceHandle& dev, int mode, IDepositNotify* notify) {
  uint8_t block[16];
  pdk::putLe32(block, static_cast<uint32_t>(mode));
  pdk::putLe32(block + 4, 1);
  pdk::putLe32(block + 8, 10);
  pdk::putLe32(block + 12, 10000);
  if (sendOut(dev, kSubCodeSetLunMode, block, sizeof(block)) != pdk::kOk) return pdk::kLunSwapError;
  if (!m_lunReattach.begin(m_params, dev, reattachWaitSeconds(), 0, notify)) {
    PDKTrace("CFixDiskDepositHdl::attachDetach - ERROR while trying to dispatch a thread\n");
    return pdk::kGeneralError;
  }
  return pdk::kOk;
}

int CFixDiskDepositHdl::enterSafePartition(CDeviceHandle& dev, const char* password,
                                           IDepositNotify*) {
  if (getLunMode(dev) == 1) {
    // The switch needs the drive back from the re-attach the swap starts; its
    // outcome is this call's result, so the caller's sink hears of it once.
    int rc = setLunMode(dev, 0, nullptr);
    if (rc == pdk::kOk && m_lunReattach.wait() != pdk::kOk) rc = pdk::kNotConnected;
    if (rc != pdk::kOk) return rc;
    // The drive that came back is a new volume: the old handle died with it.
    if (dev.ownsHandle()) {
      dev.close();
      if ((rc = dev.open(m_connection)) != pdk::kOk) return rc;
    }
  }
  int rc = checkSwitch(dev, true);
  if (rc != pdk::kOk) return rc;
  uint8_t padded[kPasswordLength];
  if (!padPassword(password, padded)) return pdk::kBadParameters;
  uint8_t block[20] = {};
  pdk::putLe32(block, static_cast<uint32_t>(std::strlen(password)));
  std::memcpy(block + 4, padded, sizeof(padded));
  rc = sendOut(dev, kSubCodeSwitch, block, sizeof(block));
  if (rc == pdk::kOk) std::memcpy(m_password, padded, sizeof(m_password));
  return rc;
}

int CFixDiskDepositHdl::exitSafePartition(CDeviceHandle& dev) {
  if (getLunMode(dev) == 1) return pdk::kOk;
  const int rc = checkSwitch(dev, false);
  if (rc != pdk::kOk) return rc;
  const uint8_t block[20] = {};
  return sendOut(dev, kSubCodeSwitch, block, sizeof(block));
}

int CFixDiskDepositHdl::formatFixDiskPartitions(CDeviceHandle& dev, const DepositParams& params,
                                                IDepositNotify* notify) {
  DepositRecord r;
  int rc = readDepositConfig(dev, r);
  if (rc != pdk::kOk) return rc;
  CFatFormatter formatter(m_connection);
  formatter.setWeight(params.dummyBytes > 0 ? kPartitionWeightWithDummy : kPartitionWeight);
  CFatFormatter::resetProgress();

  rc = formatter.writePartitionTable(dev, 0);
  if (rc == pdk::kOk) {
    rc = formatter.formatPartition(dev, 0, -1, params.publicLabel, notify,
                                   CFatFormatter::kMarkerPublic);
  }
  if (rc == pdk::kOk && params.dummyBytes > 0) {
    rc = formatter.formatPartition(dev, 1, -1, params.dummyLabel, notify,
                                   CFatFormatter::kMarkerDummy);
  }
  if (rc == pdk::kOk && params.safeBytes > 0) {
    rc = enterSafePartition(dev, params.password, notify);
    if (rc == pdk::kOk) {
      rc = formatter.formatPartition(dev, 1, params.safeBytes / kSectorSize, params.safeLabel,
                                     notify, CFatFormatter::kMarkerSafe);
    }
    const int left = exitSafePartition(dev);
    if (rc == pdk::kOk) rc = left;
  }
  CFatFormatter::resetProgress();
  return rc;
}

int CFixDiskDepositHdl::configureDiskPartitions(const DepositParams& params, CDeviceHandle& dev,
                                                IDepositNotify* sink, bool syncFlag) {
  CGuardedNotify notify(sink);
  DepositRecord r;
  int rc = readDepositConfig(dev, r);
  if (rc != pdk::kOk) {
    notify.onError(rc, "error in format process");
    return rc;
  }
  const int64_t unit = unitBytes(r);
  int64_t minSafe = 0;
  int64_t minDummy = 0;
  rc = unit > 0 ? minPartitionSize(dev, minSafe, minDummy)
                : static_cast<int>(pdk::kDeviceInternalError);
  if (rc != pdk::kOk) {
    notify.onError(rc, "error in format process");
    return rc;
  }
  const int64_t currentPublic = (static_cast<int64_t>(r.words[0]) - r.words[4] - r.words[5]) * unit;
  if ((params.safeBytes > 0 && params.safeBytes < minSafe) ||
      (params.dummyBytes > 0 && params.dummyBytes < minDummy) || currentPublic < minSafe ||
      params.safeBytes < 0 || params.dummyBytes < 0) {
    notify.onError(pdk::kBadParameters, "error in deposit parameters ");
    return pdk::kBadParameters;
  }
  // Once 0x0045 is sent the old layout is gone, so every volume the format
  // will lay must be known to fit before.
  const int64_t safeUnits = params.safeBytes / unit;
  const int64_t dummyUnits = params.dummyBytes / unit;
  const int64_t unitSectors = unit / kSectorSize;
  const int64_t publicUnits = static_cast<int64_t>(r.words[0]) - safeUnits - dummyUnits;
  rc = CFatFormatter::checkPartitionSize(
      static_cast<uint64_t>(std::max<int64_t>(publicUnits, 0) * unitSectors));
  if (rc == pdk::kOk && dummyUnits > 0)
    rc = CFatFormatter::checkPartitionSize(static_cast<uint64_t>(dummyUnits * unitSectors));
  if (rc == pdk::kOk && params.safeBytes > 0)
    rc = CFatFormatter::checkPartitionSize(static_cast<uint64_t>(params.safeBytes / kSectorSize));
  if (rc != pdk::kOk) {
    notify.onError(rc, "error in format process");
    return rc;
  }

  uint8_t block[28] = {};
  pdk::putLe32(block, static_cast<uint32_t>(safeUnits));
  pdk::putLe32(block + 4, static_cast<uint32_t>(dummyUnits));
  pdk::putLe32(block + 8, static_cast<uint32_t>(std::strlen(params.password)));
  std::memcpy(block + 12, params.password, std::strlen(params.password));
  // The hidden area is saved before the drive re-lays its partitions, which
  // may clear it: a page that cannot be read stops the configuration here.
  rc = m_backup.save(dev);
  if (rc == pdk::kOk) {
    rc = sendOut(dev, kSubCodeConfigure, block, sizeof(block));
    if (rc == pdk::kOk) {
      rc = formatFixDiskPartitions(dev, params, &notify) == pdk::kOk
               ? pdk::kOk
               : static_cast<int>(pdk::kFormatFailed);
      // Back whatever became of the format: the drive keeps its hidden area.
      const int restored = m_backup.restore(dev);
      if (rc == pdk::kOk) rc = restored;
      // The hint belongs to the new zone as on a removable drive: a login
      // would otherwise show none, or the old zone's.
      if (rc == pdk::kOk) rc = storeHint(params);
    } else {
      m_backup.release();
    }
  }
  if (rc != pdk::kOk) {
    notify.onError(rc, "error in format process");
    return rc;
  }
  notify.onFormatDone();
  return attachDetach(dev, m_params, sink, syncFlag, 0);
}

uint32_t CFixDiskDepositHdl::reattachWaitSeconds() {
  return GetOSKind() == pdk::kOSWin2000 ? kReattachWaitSecondsWin2000 : kReattachWaitSeconds;
}

int CFixDiskDepositHdl::attachDetach(CDeviceHandle& dev, const DeviceParams& params,
                                     IDepositNotify* notify, bool syncFlag, uint8_t bootFlag) {
  const uint32_t wait = reattachWaitSeconds();
  if (syncFlag) {
    CReconnectJob job(params, dev, wait, bootFlag, 1);
    CGuardedNotify guarded(notify);
    return CReattachThread::runJob(job, guarded);
  }
  auto reattach = std::make_unique<CReattachThread::Work>(params, dev, wait, bootFlag, notify);
  if (!CPDKThread::runDetached(&runThread, reattach.get())) {
    PDKTrace("CFixDiskDepositHdl::attachDetach - ERROR while trying to dispatch a thread\n");
    return pdk::kGeneralError;
  }
  reattach.release();  // the thread owns it now
  return pdk::kOk;
}
