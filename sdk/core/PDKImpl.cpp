#include "PDKImpl.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Connection.h"
#include "CookieImpl.h"
#include "DepositImpl.h"
#include "DeviceHandle.h"
#include "DiskUtils.h"
#include "FatFormatter.h"
#include "FixDiskDepositHdl.h"
#include "FormatTemplate.h"
#include "OSKind.h"
#include "PDKErrors.h"
#include "PDKLockGuard.h"
#include "PDKTrace.h"
#include "ScsiCdb.h"

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kSerialAnswerLength = 40;
constexpr size_t kSerialTextOffset = 6;
constexpr uint32_t kRemovableRecordLength = 20;
constexpr uint32_t kFixedRecordLength = 28;
constexpr size_t kConfigProtectByte = 8;

bool sameDrive(const DeviceParams& a, const DeviceParams& b) {
  return a.id == b.id && std::strncmp(a.path, b.path, sizeof(a.path)) == 0 &&
         a.driveMask == b.driveMask;
}

// Hands the option of a format call to the formatter: '1' keeps the drive's
// present geometry and layout, anything else formats with the defaults.
class OptionTemplate : public IFormatTemplate {
 public:
  explicit OptionTemplate(char option) : m_keep(option == '1') {}
  bool writeMbr() override { return true; }
  bool bootable() override { return true; }
  bool keepExisting() override { return m_keep; }
  int heads() override { return 0; }
  int sectorsPerTrack() override { return 0; }
  const uint8_t* mbrCode() override { return nullptr; }
  const uint8_t* bootSector() override { return nullptr; }

 private:
  bool m_keep;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

CPDKImpl::Features::Features(IConnection& connection, const DeviceParams& p)
    : params(p),
      cookies(std::make_unique<CCookieImpl>(connection, params)),
      deposit(std::make_unique<CDepositImpl>(connection, params)) {}

CPDKImpl::Features::~Features() = default;

CPDKImpl::CPDKImpl(IConnection* connection) : m_connection(connection) {}

CPDKImpl::~CPDKImpl() = default;

CPDKImpl& CPDKImpl::nullDevice() {
  static CPDKImpl device(nullptr);
  return device;
}

DeviceParams CPDKImpl::params() const {
  CPDKLockGuard lock(&m_paramsLock);
  return m_params;
}

int CPDKImpl::status() const {
  CPDKLockGuard lock(&m_paramsLock);
  return m_params.status;
}

int CPDKImpl::getId() const {
  CPDKLockGuard lock(&m_paramsLock);
  return m_params.id;
}

void CPDKImpl::setParams(const DeviceParams& params, int id) {
  DeviceParams stored = params;
  if (id >= 0) stored.id = id;
  {
    CPDKLockGuard lock(&m_paramsLock);
    if (stored == m_params) return;
    const bool sameFeatures =
        std::strncmp(stored.serial, m_params.serial, sizeof(stored.serial)) == 0 &&
        stored.driveMask == m_params.driveMask && stored.removable == m_params.removable &&
        std::strncmp(stored.revision, m_params.revision, sizeof(stored.revision)) == 0 &&
        std::strncmp(stored.path, m_params.path, sizeof(stored.path)) == 0;
    m_params = stored;
    // Holders of the old ones keep them; the next caller gets new ones.
    if (!sameFeatures) m_features.reset();
  }
  notifyObservers();
}

void CPDKImpl::setStatus(int status) {
  {
    CPDKLockGuard lock(&m_paramsLock);
    if (status == m_params.status) return;
    m_params.status = status;
  }
  notifyObservers();
}

void CPDKImpl::attachObserver(IPDKObserver* observer) {
  CPDKLockGuard lock(&m_observersLock);
  if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
    m_observers.push_back(observer);
}

void CPDKImpl::detachObserver(IPDKObserver* observer) {
  CPDKLockGuard lock(&m_observersLock);
  m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer),
                    m_observers.end());
}

size_t CPDKImpl::observerCount() const {
  CPDKLockGuard lock(&m_observersLock);
  return m_observers.size();
}

void CPDKImpl::notifyObservers() {
  CPDKLockGuard lock(&m_observersLock);
  // A copy: an observer of a removed drive detaches itself while it is told.
  const std::vector<IPDKObserver*> observers = m_observers;
  const DeviceParams current = params();
  for (IPDKObserver* observer : observers) observer->update(*this, current);
}

std::shared_ptr<CPDKImpl::Features> CPDKImpl::features() {
  if (m_connection == nullptr) return nullptr;
  CPDKLockGuard lock(&m_paramsLock);
  if (m_features == nullptr) m_features = std::make_shared<Features>(*m_connection, m_params);
  return m_features;
}

void CPDKImpl::storeCapacity(int32_t bytes) {
  CPDKLockGuard lock(&m_paramsLock);
  m_params.capacity = bytes;
}

int CPDKImpl::getCapacity(int32_t& bytes) {
  if (m_connection == nullptr) return pdk::kNotConnected;
  const DeviceParams p = params();
  if (p.capacity != -1) {
    bytes = p.capacity;
    return pdk::kOk;
  }
  CDeviceHandle dev(p);
  int64_t total = 0;
  int rc = pdk::kOk;
  if (p.revision[0] == '2' && p.revision[1] != '\0' && p.revision[2] < '5') {
    uint32_t kilobytes = 0;
    rc = m_connection->readCapacity(dev, &kilobytes);
    total = static_cast<int64_t>(kilobytes) * 1024;
  } else if (p.removable != 0) {
    uint8_t record[kRemovableRecordLength] = {};
    rc = m_connection->vendorIn(dev, kSubCodeRemovableRecord, 0, nullptr, sizeof(record), record,
                                pdk::kDefaultTimeout);
    total = static_cast<int64_t>(pdk::le32(record + 4)) * kSectorSize;
  } else {
    uint8_t record[kFixedRecordLength] = {};
    rc = m_connection->vendorIn(dev, kSubCodeFixedRecord, 0, nullptr, sizeof(record), record,
                                pdk::kDefaultTimeout);
    // Multiplied step by step: three 32-bit words overflow any integer.
    total = kSectorSize;
    for (size_t at = 0; at < 12 && total <= INT32_MAX; at += 4) total *= pdk::le32(record + at);
  }
  if (rc != pdk::kOk) return rc;
  // The capacity is a signed 32-bit number: a larger drive has none that is true.
  if (total > INT32_MAX) {
    PDKTrace("ERROR CPDKImpl::getCapacity: capacity of device id %d beyond 2 GB\n", p.id);
    return pdk::kGeneralError;
  }
  bytes = static_cast<int32_t>(total);
  CPDKLockGuard lock(&m_paramsLock);
  if (sameDrive(m_params, p)) m_params.capacity = bytes;
  return pdk::kOk;
}

int CPDKImpl::readSerial(const DeviceParams& snapshot) {
  if (snapshot.serial[0] != '\0') return pdk::kOk;
  CDeviceHandle dev(snapshot);
  uint8_t answer[kSerialAnswerLength + 1] = {};
  const int rc = m_connection->vendorIn(dev, kSubCodeSerial, 0, nullptr, kSerialAnswerLength,
                                        answer, pdk::kDefaultTimeout);
  if (rc != pdk::kOk) return rc;
  CPDKLockGuard lock(&m_paramsLock);
  if (sameDrive(m_params, snapshot) && m_params.serial[0] == '\0') {
    pdk::setText(m_params.serial, reinterpret_cast<const char*>(answer + kSerialTextOffset));
    m_features.reset();
  }
  return pdk::kOk;
}

int CPDKImpl::getSerial(char* buffer, uint32_t& length) {
  if (m_connection == nullptr) return pdk::kNotConnected;
  const int rc = readSerial(params());
  if (rc != pdk::kOk) return rc;
  const DeviceParams p = params();
  return pdk::copyTextResult(p.serial, std::strlen(p.serial), buffer, length);
}

int CPDKImpl::getRevision(char* buffer, uint32_t& length) {
  const DeviceParams p = params();
  if (p.revision[0] == '\0') return pdk::kGeneralError;
  return pdk::copyTextResult(p.revision, std::strlen(p.revision), buffer, length);
}

int CPDKImpl::ejectDevice(int& succeeded) {
  succeeded = 0;
  if (m_connection == nullptr) return pdk::kNotConnected;
  const int rc = readSerial(params());
  if (rc != pdk::kOk) return rc;
  const DeviceParams p = params();
  if (m_connection->eject(p)) {
    succeeded = 1;
    return pdk::kOk;
  }
  if (GetOSKind() == pdk::kOSWinME) return pdk::kNotSupported;
  PDKTrace("WARNING CPDKImpl::ejectDevice-failed to eject device id %d\n", p.id);
  return pdk::kOk;
}

int CPDKImpl::getDriveLetters(char* buffer, uint32_t& length) {
  return lettersText(params().driveMask, buffer, length);
}

int CPDKImpl::isRemovable(int& removable) {
  removable = params().removable;
  return pdk::kOk;
}

int CPDKImpl::isWriteProtected(int& writeProtected) {
  if (m_connection == nullptr) return pdk::kNotConnected;
  const DeviceParams p = params();
  if (p.revision[0] < '3') return pdk::kNotSupported;
  CDeviceHandle dev(p);
  uint8_t block[kConfigBlockLength] = {};
  const int rc = m_connection->vendorIn(dev, kSubCodeConfigRead, 0, nullptr, sizeof(block), block,
                                        pdk::kDefaultTimeout);
  if (rc != pdk::kOk) return rc;
  writeProtected = (block[kConfigProtectByte] & kWriteProtectBit) != 0 ? 1 : 0;
  return pdk::kOk;
}

int CPDKImpl::updateWriteProtected(bool protect, IDepositNotify* notify, int flag) {
  if (m_connection == nullptr) return pdk::kNotConnected;
  const DeviceParams p = params();
  if (p.revision[0] < '3') return pdk::kNotSupported;
  CDiskUtils locks(*m_connection, true);
  CDeviceHandle* dev = locks.openAndLockAll(p);
  if (dev == nullptr) {
    locks.unlockAll(p);
    return pdk::kCantLockDevice;
  }
  uint8_t block[kConfigBlockLength] = {};
  int rc = m_connection->vendorIn(*dev, kSubCodeConfigRead, 0, nullptr, sizeof(block), block,
                                  pdk::kDefaultTimeout);
  if (rc != pdk::kOk) {
    locks.unlockAll(p);
    return rc;
  }
  if (protect) {
    block[kConfigProtectByte] |= kWriteProtectBit;
  } else {
    block[kConfigProtectByte] &= static_cast<uint8_t>(~kWriteProtectBit);
  }
  rc = m_connection->vendorOut(*dev, kSubCodeConfigWrite, 0, nullptr, sizeof(block), block,
                               pdk::kDefaultTimeout);
  if (rc != pdk::kOk) {
    PDKTrace("ERROR updateWriteProtected: unable to update disk id %d, write protect, error %d",
             p.id, rc);
    // The drive kept its old setting: a re-attach would only hide the failure
    // behind its own success.
    locks.unlockAll(p);
    return rc;
  }
  CFixDiskDepositHdl reattach(*m_connection, p);
  if (flag != 0) {
    rc = reattach.attachDetach(*dev, p, notify, true, 1);
  } else {
    // The re-attach thread opens a handle of its own: the locked one is
    // closed below, possibly while that thread still runs.
    CDeviceHandle own(p);
    rc = reattach.attachDetach(own, p, notify, false, 1);
  }
  locks.unlockAll(p);
  return rc;
}

int CPDKImpl::writeImage(const char* path, uint32_t firstSector) {
  if (m_connection == nullptr) return pdk::kNotConnected;
  if (path == nullptr || std::strlen(path) <= 1) return pdk::kBadParameters;
  struct stat info;
  if (::stat(path, &info) != 0) {
    if (errno == ENOENT) {
      PDKTrace("ERROR CPDKImpl::writeImage: file %s not found\n", path);
    } else {
      PDKTrace("ERROR CPDKImpl::writeImage: stat() failed on file %s\n", path);
    }
    return pdk::kBadParameters;
  }
  if (info.st_size < static_cast<decltype(info.st_size)>(kSectorSize)) {
    PDKTrace("ERROR CPDKImpl::writeImage: file %s smaller then 512 Byte\n", path);
    return pdk::kBadParameters;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (file == nullptr) {
    PDKTrace("ERROR CPDKImpl::writeImage-can't open file %s\n", path);
    return pdk::kBadParameters;
  }
  const DeviceParams p = params();
  CDeviceHandle dev(p);
  int rc = dev.open(*m_connection);
  if (rc != pdk::kOk) return rc;
  uint32_t remaining = static_cast<uint32_t>(info.st_size / kSectorSize);
  uint32_t sector = firstSector;
  std::vector<uint8_t> buffer(kImageChunkSectors * kSectorSize);
  while (remaining > 0) {
    size_t filled = 0;
    while (filled < buffer.size()) {
      const size_t got = std::fread(buffer.data() + filled, 1, buffer.size() - filled, file.get());
      if (got == 0) break;
      filled += got;
    }
    // A file that shrank since its size was taken is written as zeros, never
    // as the previous chunk's bytes.
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(filled), buffer.end(), uint8_t{0});
    const uint32_t count = std::min(remaining, kImageChunkSectors);
    rc = m_connection->write10(dev, buffer.data(), sector, count, kImageTimeout);
    if (rc != pdk::kOk) return rc;
    sector += count;
    remaining -= count;
  }
  return rc;
}

int CPDKImpl::format(const char* options) {
  if (m_connection == nullptr) return pdk::kNotConnected;
  if (options == nullptr) return pdk::kBadParameters;
  OptionTemplate option(options[0]);
  CFatFormatter formatter(*m_connection);
  formatter.setTemplate(&option);
  CDeviceHandle dev(params());
  int rc = dev.open(*m_connection);
  if (rc != pdk::kOk) return rc;
  rc = formatter.format(dev, nullptr, kFormatLabel);
  formatter.setTemplate(nullptr);
  if (rc != pdk::kOk) return rc;
  return m_connection->vendorOut(dev, kSubCodeFormatDone, 0, nullptr, 0, nullptr,
                                 pdk::kDefaultTimeout);
}

int CPDKImpl::lettersText(uint32_t mask, char* buffer, uint32_t& length) {
  uint32_t needed = 1;
  for (int n = 0; n < 26; ++n) {
    if ((mask >> n) & 1u) needed += 4;
  }
  if (needed == 1) return pdk::kBadDriveLetter;
  if (buffer == nullptr || length < needed) {
    if (buffer != nullptr) std::memset(buffer, 0, length);
    length = needed;
    return pdk::kBufferTooSmall;
  }
  std::memset(buffer, 0, length);
  char* at = buffer;
  for (int n = 0; n < 26; ++n) {
    if (((mask >> n) & 1u) == 0) continue;
    at[0] = static_cast<char>('A' + n);
    at[1] = ':';
    at[2] = '\\';
    at += 4;  // the NUL is already there
  }
  length = needed;
  return pdk::kOk;
}
