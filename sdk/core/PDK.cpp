#include "PDK.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "Connection.h"
#include "ConnectionSingleton.h"
#include "DepositImpl.h"
#include "DevicePort.h"
#include "PDKCookie.h"
#include "PDKDeposit.h"
#include "PDKException.h"
#include "PDKLockGuard.h"
#include "PDKSDK.h"
#include "PDKTrace.h"

namespace {

bool sameName(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

CPDK::CPDK()
    : m_impl(&CPDKImpl::nullDevice()),
      m_cookies(std::make_unique<CPDKCookie>(*this)),
      m_deposit(std::make_unique<CPDKDeposit>(*this)) {}

CPDK::~CPDK() {
  if (params().id != -1) detachDevice();
}

CPDK& CPDK::operator=(const CPDK&) {
  PDKTrace("CPDK::operator= don't call this operator\n");
  return *this;
}

DeviceParams CPDK::params() const {
  CPDKLockGuard lock(&m_lock);
  return m_params;
}

CPDK::Binding CPDK::binding() const {
  Binding b;
  {
    CPDKLockGuard lock(&m_lock);
    b = {m_params, m_impl};
  }
  // Outside the SDK's life no drive can be reached, and the table objects
  // an attached handle knew are gone after PDKSDK_fini.
  if (!CPDKSDK::initialised()) b.params.status = pdk::kInitNotCalled;
  return b;
}

std::shared_ptr<CPDKImpl::Features> CPDK::features(int& code) const {
  const Binding b = binding();
  code = b.params.status;
  if (code != pdk::kOk) return nullptr;
  std::shared_ptr<CPDKImpl::Features> f = b.impl->features();
  if (f == nullptr) code = pdk::kNotConnected;
  return f;
}

template <typename Store>
void CPDK::storeIfBound(const CPDKImpl* impl, Store store) {
  CPDKLockGuard lock(&m_lock);
  if (m_impl == impl && m_params.status == pdk::kOk) store(m_params);
}

bool CPDK::isValid() const { return params().status == pdk::kOk; }

int CPDK::getCapacity(int32_t& bytes) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  if (b.params.capacity != -1) {
    bytes = b.params.capacity;
    return pdk::kOk;
  }
  const int rc = b.impl->getCapacity(bytes);
  if (rc != pdk::kOk) return rc;
  const int32_t value = bytes;
  storeIfBound(b.impl, [&](DeviceParams& p) { p.capacity = value; });
  return pdk::kOk;
}

int CPDK::getSerial(char* buffer, uint32_t length) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  std::string serial(b.params.serial,
                     std::find(b.params.serial, b.params.serial + sizeof(b.params.serial), '\0'));
  if (serial.empty()) {
    char text[sizeof(b.params.serial)] = {};
    uint32_t size = sizeof(text);
    const int rc = b.impl->getSerial(text, size);
    if (rc != pdk::kOk) return rc;
    serial = text;
    storeIfBound(b.impl, [&](DeviceParams& p) { pdk::setText(p.serial, text); });
  }
  if (buffer == nullptr || length == 0) return pdk::kBufferTooSmall;
  // At most length characters with the NUL: a short buffer gets a cut, but
  // terminated, serial.
  const size_t n = std::min<size_t>(serial.size(), length - 1);
  std::memcpy(buffer, serial.data(), n);
  buffer[n] = '\0';
  return pdk::kOk;
}

int CPDK::getRevision(char* buffer, uint32_t& length) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  if (b.params.revision[0] != '\0')
    return pdk::copyTextResult(b.params.revision, std::strlen(b.params.revision), buffer, length);
  char text[sizeof(b.params.revision)] = {};
  uint32_t size = sizeof(text);
  const int rc = b.impl->getRevision(text, size);
  if (rc != pdk::kOk) return rc;
  text[CPDKImpl::kRevisionLength] = '\0';
  storeIfBound(b.impl, [&](DeviceParams& p) { pdk::setText(p.revision, text); });
  return pdk::copyTextResult(text, std::strlen(text), buffer, length);
}

int CPDK::probeAccess() {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  try {
    return CConnectionSingleton::instance().probeAccess();
  } catch (const pdk::CPDKException& e) {
    return e.code;
  }
}

int CPDK::ejectDevice(int& succeeded) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  return b.impl->ejectDevice(succeeded);
}

int CPDK::getDriveLetters(char* buffer, uint32_t& length) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  return CPDKImpl::lettersText(b.params.driveMask, buffer, length);
}

int CPDK::getVisiblePartition(char letter, int& state) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  const uint32_t bit = pdk::letterBit(letter);
  if (bit == 0) return pdk::kBadDriveLetter;
  if (bit == b.params.driveMask) {
    // The drive shows one volume: the drive itself knows what it presents.
    if (std::shared_ptr<CPDKImpl::Features> f = b.impl->features()) {
      bool answer = false;
      if (b.params.removable != 0) {
        if (f->deposit->isInSafePartition(answer) == pdk::kOk) {
          state = answer ? 2 : 0;
          return pdk::kOk;
        }
      } else if (f->deposit->safePartitionExist(answer) == pdk::kOk && !answer) {
        state = 0;
        return pdk::kOk;
      }
    }
  }
  // Otherwise the marker file in the root of the volume tells.
  static const char* const kMarkers[] = {".PUBLIC", ".DUMMY", ".SAFE"};
  for (const std::string& name : pdk::devicePort().rootEntries(letter)) {
    for (int marker = 0; marker < 3; ++marker) {
      if (sameName(name, kMarkers[marker])) {
        state = marker;
        return pdk::kOk;
      }
    }
  }
  return pdk::kBadDriveLetter;
}

int CPDK::isRemovable(int& removable) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  removable = b.params.removable;
  return pdk::kOk;
}

int CPDK::isWriteProtected(int& writeProtected) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  return b.impl->isWriteProtected(writeProtected);
}

int CPDK::updateWriteProtected(bool protect, IDepositNotify* notify, int flag) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  return b.impl->updateWriteProtected(protect, notify, flag);
}

int CPDK::writeImage(const char* path, uint32_t firstSector) {
  const Binding b = binding();
  if (b.params.status != pdk::kOk) return b.params.status;
  return b.impl->writeImage(path, firstSector);
}

bool CPDK::attachDevice(const DeviceParams& p) {
  try {
    if (binding().impl != &CPDKImpl::nullDevice()) detachDevice();
    CPDKLockGuard sdk(&CPDKSDK::sdkLock());
    // Under the SDK lock: no update of the drive can come before the binding.
    CPDKImpl* slot = CPDKSDK::instance().attachObserver(p, &m_observer);
    CPDKLockGuard lock(&m_lock);
    if (slot == nullptr) {
      // Not attached is not usable, whatever status the stale params carried.
      m_params = DeviceParams();
      return false;
    }
    m_params = p;
    m_impl = slot;
    return true;
  } catch (const pdk::CPDKException&) {
    CPDKLockGuard lock(&m_lock);
    m_params = DeviceParams();
    return false;
  }
}

bool CPDK::attachDevice(char letter) {
  try {
    if (binding().impl != &CPDKImpl::nullDevice()) detachDevice();
    DeviceParams found;
    if (!CPDKSDK::instance().findByLetter(letter, &found)) return false;
    return attachDevice(found);
  } catch (const pdk::CPDKException&) {
    return false;
  }
}

void CPDK::detachDevice() {
  DeviceParams old;
  {
    CPDKLockGuard lock(&m_lock);
    old = m_params;
    m_params = DeviceParams();
    m_impl = &CPDKImpl::nullDevice();
  }
  try {
    CPDKSDK::instance().detachObserver(old.id, &m_observer);
  } catch (const pdk::CPDKException&) {
    // The SDK is gone, and with it every table object this handle could be in.
  }
}

void CPDK::update(CPDKImpl& subject, const DeviceParams& p) {
  {
    CPDKLockGuard lock(&m_lock);
    if (m_impl != &subject || p == m_params) return;
    if (p.status != pdk::kNotConnected) {
      m_params = p;
      return;
    }
    m_params.status = pdk::kNotConnected;
    m_impl = &CPDKImpl::nullDevice();
  }
  subject.detachObserver(&m_observer);
}
