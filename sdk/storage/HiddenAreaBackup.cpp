#include "HiddenAreaBackup.h"

#include "Connection.h"
#include "CookieImpl.h"
#include "PDKErrors.h"
#include "ScsiCdb.h"

namespace {
constexpr uint32_t kReadTries = 2;
}  // namespace

CHiddenAreaBackup::CHiddenAreaBackup(IConnection& connection) : m_connection(connection) {
  m_mutex.create(CCookieImpl::kMutexName, false);
}

CHiddenAreaBackup::~CHiddenAreaBackup() { release(); }

void CHiddenAreaBackup::release() {
  if (m_held) m_mutex.unlock();
  m_held = false;
}

int CHiddenAreaBackup::save(CDeviceHandle& dev) {
  release();
  if (m_mutex.lock() != 0) return pdk::kGeneralError;
  m_held = true;
  m_pages.fill(0);
  for (int page = 0; page < kPages; ++page) {
    int rc = pdk::kOk;
    for (uint32_t attempt = 0; attempt < kReadTries; ++attempt) {
      const uint8_t params[6] = {static_cast<uint8_t>(page), static_cast<uint8_t>(page >> 8),
                                 static_cast<uint8_t>(attempt), 0, 0, 0};
      rc = m_connection.vendorIn(dev, kSubCodeReadPage, sizeof(params), params, kPageSize,
                                 &m_pages[page * kPageSize], pdk::kDefaultTimeout);
      if (rc == pdk::kOk) break;
    }
    if (rc != pdk::kOk) {
      release();
      return rc;
    }
  }
  return pdk::kOk;
}

int CHiddenAreaBackup::restore(CDeviceHandle& dev) {
  int first = pdk::kOk;
  for (int page = 0; page < kPages; ++page) {
    const uint8_t params[2] = {static_cast<uint8_t>(page), static_cast<uint8_t>(page >> 8)};
    int rc = pdk::kOk;
    for (uint32_t attempt = 0; attempt < kWriteTries; ++attempt) {
      rc = m_connection.vendorOut(dev, kSubCodeWritePage, sizeof(params), params, kPageSize,
                                  &m_pages[page * kPageSize], pdk::kDefaultTimeout);
      if (rc == pdk::kOk) break;
    }
    if (rc != pdk::kOk && first == pdk::kOk) first = rc;
  }
  release();
  return first;
}
