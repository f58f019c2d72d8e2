#include "HiddenAreaBackup.h"

#include "Connection.h"
#include "PDKErrors.h"
#include "ScsiCdb.h"

namespace {
constexpr uint32_t kTries = 2;
}  // namespace

int CHiddenAreaBackup::save(CDeviceHandle& dev) {
  m_saved.reset();
  m_pages.fill(0);
  int first = pdk::kOk;
  for (int page = 0; page < kPages; ++page) {
    int rc = pdk::kOk;
    for (uint32_t attempt = 0; attempt < kTries; ++attempt) {
      const uint8_t params[6] = {static_cast<uint8_t>(page), static_cast<uint8_t>(page >> 8),
                                 static_cast<uint8_t>(attempt), 0, 0, 0};
      rc = m_connection.vendorIn(dev, kSubCodeReadPage, sizeof(params), params, kPageSize,
                                 &m_pages[page * kPageSize], pdk::kDefaultTimeout);
      if (rc == pdk::kOk) break;
    }
    if (rc == pdk::kOk) {
      m_saved.set(page);
    } else if (first == pdk::kOk) {
      first = rc;
    }
  }
  return first;
}

int CHiddenAreaBackup::restore(CDeviceHandle& dev) {
  int first = pdk::kOk;
  for (int page = 0; page < kPages; ++page) {
    if (!m_saved.test(page)) continue;
    const uint8_t params[2] = {static_cast<uint8_t>(page), static_cast<uint8_t>(page >> 8)};
    const int rc = m_connection.vendorOut(dev, kSubCodeWritePage, sizeof(params), params, kPageSize,
                                          &m_pages[page * kPageSize], pdk::kDefaultTimeout);
    if (rc != pdk::kOk && first == pdk::kOk) first = rc;
  }
  return first;
}
