#include "DepositImpl.h"

#include <cstring>

#include "98DepositHandler.h"
#include "98FixDiskDepositHdl.h"
#include "CookieImpl.h"
#include "DeviceHandle.h"
#include "DiskUtils.h"
#include "GuardedNotify.h"
#include "OSKind.h"
#include "PDKErrors.h"

namespace {

// The caller's texts as terminated ones, whatever they held.
DepositParams terminated(const DepositParams& in) {
  DepositParams p = in;
  p.hint[sizeof(p.hint) - 1] = '\0';
  p.publicLabel[sizeof(p.publicLabel) - 1] = '\0';
  p.dummyLabel[sizeof(p.dummyLabel) - 1] = '\0';
  p.safeLabel[sizeof(p.safeLabel) - 1] = '\0';
  return p;
}

}  // namespace

CDepositImpl::CDepositImpl(IConnection& connection, const DeviceParams& params)
    : m_connection(connection), m_params(params) {
  const int kind = GetOSKind();
  if (kind == pdk::kOSWin98SE || kind == pdk::kOSWinME) {
    m_removable = std::make_unique<C98DepositHandler>(connection, params);
    m_fixed = std::make_unique<C98FixDiskDepositHdl>(connection, params);
  } else {
    m_removable = std::make_unique<CDepositHandler>(connection, params);
    m_fixed = std::make_unique<CFixDiskDepositHdl>(connection, params);
  }
}

CDepositImpl::~CDepositImpl() = default;

IDepositHandler& CDepositImpl::selectHandler() {
  if (m_params.removable) return *m_removable;
  return *m_fixed;
}

int CDepositImpl::isDepositSupported(bool& supported) {
  const char* v = m_params.revision;
  supported = v[0] > '2' || (v[0] == '2' && v[1] != '\0' && v[2] > '4');
  return pdk::kOk;
}

int CDepositImpl::isVersion3(bool& version3) {
  version3 = m_params.revision[0] >= '3';
  return pdk::kOk;
}

template <typename Op>
int CDepositImpl::withDrive(Op op) {
  bool supported = false;
  isDepositSupported(supported);
  if (!supported) return pdk::kNotSupported;
  CDeviceHandle dev(m_params);
  const int rc = dev.open(m_connection);
  if (rc != pdk::kOk) return rc;
  return op(dev);
}

int CDepositImpl::getPasswordHint(char* buffer, uint32_t& size) {
  bool supported = false;
  isDepositSupported(supported);
  if (!supported) return pdk::kNotSupported;
  return CCookieImpl(m_connection, m_params).getPasswordHint(buffer, size);
}

int CDepositImpl::isInSafePartition(bool& inSafe) {
  return withDrive([&](CDeviceHandle& dev) { return selectHandler().isInSafePartition(dev, inSafe); });
}

int CDepositImpl::safePartitionExist(bool& exists) {
  return withDrive([&](CDeviceHandle& dev) { return selectHandler().safePartitionExist(dev, exists); });
}

int CDepositImpl::getPartitionSizes(int64_t& publicBytes, int64_t& safeBytes, int64_t& dummyBytes) {
  return withDrive([&](CDeviceHandle& dev) {
    return selectHandler().getPartitionSizes(dev, publicBytes, safeBytes, dummyBytes);
  });
}

int CDepositImpl::minPartitionSize(int64_t& minSafe, int64_t& minDummy) {
  return withDrive(
      [&](CDeviceHandle& dev) { return selectHandler().minPartitionSize(dev, minSafe, minDummy); });
}

int CDepositImpl::changePassword(const char* password1, const char* password2, const char* hint) {
  return withDrive([&](CDeviceHandle& dev) {
    const int rc = selectHandler().changePassword(dev, password1, password2);
    if (rc == pdk::kOk && hint != nullptr && std::strlen(hint) <= kMaxHintLength)
      CCookieImpl(m_connection, m_params).setPasswordHint(hint);
    return rc;
  });
}

int CDepositImpl::configure(const DepositParams& requested, IDepositNotify* notify, bool syncFlag) {
  bool supported = false;
  isDepositSupported(supported);
  if (!supported) return pdk::kNotSupported;
  // A password that fills its field has no end: cutting it would set one the
  // user never typed.
  if (std::memchr(requested.password, '\0', sizeof(requested.password)) == nullptr) {
    CGuardedNotify(notify).onError(pdk::kBadParameters, "error in deposit parameters ");
    return pdk::kBadParameters;
  }
  const DepositParams params = terminated(requested);
  IDepositHandler& handler = selectHandler();
  if (m_params.removable) {
    // The drive would silently make a safe partition too small for a file
    // system into none at all; refuse it before anything is changed.
    CDeviceHandle dev(m_params);
    int64_t minSafe = 0;
    int64_t minDummy = 0;
    handler.minPartitionSize(dev, minSafe, minDummy);
    if (params.safeBytes < 0 || (params.safeBytes > 0 && params.safeBytes < minSafe) ||
        std::strlen(params.password) > CDepositHandler::kPasswordLength) {
      CGuardedNotify(notify).onError(pdk::kBadParameters, "error in deposit parameters ");
      return pdk::kBadParameters;
    }
  }
  CDiskUtils locks(m_connection, m_params.removable != 0 || syncFlag);
  if (!locks.dismountAll(m_params)) return pdk::kCantLockDevice;
  CDeviceHandle* dev = locks.openAndLockAll(m_params);
  if (dev == nullptr) {
    locks.unlockAll(m_params);
    return pdk::kCantLockDevice;
  }
  const int rc = handler.configureDiskPartitions(params, *dev, notify, syncFlag);
  if (rc != pdk::kOk) locks.unlockAll(m_params);
  return rc;
}

template <typename Switch>
int CDepositImpl::switchFrame(IDepositNotify* notify, bool syncFlag, Switch doSwitch) {
  bool supported = false;
  isDepositSupported(supported);
  if (!supported) return pdk::kNotSupported;
  CGuardedNotify guarded(notify);
  CDiskUtils locks(m_connection, m_params.removable != 0 || syncFlag);
  if (!locks.dismountAll(m_params)) return pdk::kCantLockDevice;
  CDeviceHandle fresh(m_params);
  CDeviceHandle* dev = &fresh;
  if (!m_params.removable) {
    dev = locks.openAndLockAll(m_params);
    if (dev == nullptr) {
      locks.unlockAll(m_params);
      return pdk::kCantLockDevice;
    }
  }
  const int rc = doSwitch(*dev);
  if (rc == pdk::kNoNeedToDetach) {
    guarded.onCompleted();
    locks.unlockAll(m_params);
    return pdk::kOk;
  }
  if (rc != pdk::kOk) {
    locks.unlockAll(m_params);
    return rc;
  }
  if (m_params.removable) {
    guarded.onCompleted();
    return pdk::kOk;
  }
  return m_fixed->attachDetach(*dev, m_params, notify, syncFlag, 0);
}

int CDepositImpl::login(const char* password, IDepositNotify* notify, bool syncFlag) {
  return switchFrame(notify, syncFlag, [&](CDeviceHandle& dev) {
    return selectHandler().enterSafePartition(dev, password, notify);
  });
}

int CDepositImpl::logout(IDepositNotify* notify, bool syncFlag) {
  return switchFrame(notify, syncFlag,
                     [&](CDeviceHandle& dev) { return selectHandler().exitSafePartition(dev); });
}
