#include "DeviceEventHandler.h"

#include <cstring>

#include "DeviceMessageWindow.h"
#include "PDKClock.h"
#include "PDKLockGuard.h"
#include "PDKSDK.h"
#include "regcleaner/IPDKRegInfo.h"
#include "regcleaner/PDKRegFactory.h"

namespace {
constexpr uint32_t kLongestWaitMs = 500;
constexpr int kMostChecksOfFreshArrival = 10;
}  // namespace

CDeviceEventHandler::CDeviceEventHandler()
    : m_regInfo(CPDKRegFactory::instance().createRegInfo()) {}

CDeviceEventHandler::~CDeviceEventHandler() = default;

void CDeviceEventHandler::setDeviceChecker(CDeviceChecker* checker) {
  CPDKLockGuard lock(&m_listMutex);
  m_checker = checker;
}

void CDeviceEventHandler::deviceChange(uint32_t event, uint32_t unitMask) {
  if (event != kDeviceArrival && event != kDeviceRemoveComplete) return;
  for (int bit = 0; bit < 26; ++bit) {
    if ((unitMask & (1u << bit)) == 0) continue;
    const char letter = static_cast<char>('A' + bit);
    if (event == kDeviceArrival) {
      arrival(letter);
    } else {
      removal(letter);
    }
  }
}

CPendingArrival* CDeviceEventHandler::unprocessedArrival(char letter) {
  // Params equality also compares the status, so only arrivals not yet
  // processed match a fresh record.
  const DeviceParams fresh = DeviceParams::forLetter(letter);
  for (CPendingArrival& pending : m_pending) {
    if (pending.params() == fresh) return &pending;
  }
  return nullptr;
}

void CDeviceEventHandler::arrival(char letter) {
  CPDKLockGuard lock(&m_listMutex);
  if (CPendingArrival* pending = unprocessedArrival(letter)) {
    pending->touch();
    return;
  }
  m_pending.emplace_back(DeviceParams::forLetter(letter), 3 * kBaseDelayMs);
}

void CDeviceEventHandler::removal(char letter) {
  CPDKLockGuard lock(&m_listMutex);
  if (CPendingArrival* pending = unprocessedArrival(letter)) {
    // Gone again before it settled: wait much longer, report nothing.
    pending->touch();
    return;
  }
  CPDKSDK::instance().deviceRemoval(DeviceParams::forLetter(letter));
}

void CDeviceEventHandler::processEvents() {
  CPDKLockGuard lock(&m_listMutex);
  for (auto it = m_pending.begin(); it != m_pending.end();) {
    CPendingArrival& a = *it;
    if (!a.due()) {
      ++it;
      continue;
    }
    bool drop = true;
    if (a.expiry() == 1 && a.checks() <= kMostChecksOfFreshArrival) {
      // A fresh arrival that fails is tried again on later passes.
      drop = processOneDevice(a.params());
    } else {
      processOneDevice(a.params());
    }
    it = drop ? m_pending.erase(it) : std::next(it);
  }
}

uint32_t CDeviceEventHandler::waitTimeout() {
  CPDKLockGuard lock(&m_listMutex);
  if (m_pending.empty()) return kLongestWaitMs;
  const uint32_t now = pdkos::tickCount();
  uint32_t timeout = kLongestWaitMs;
  for (const CPendingArrival& a : m_pending) {
    if (!a.isDueNow()) return kSettlingPollMs;
    const uint32_t overdue = now - a.dueTime();
    if (overdue < timeout) timeout = overdue;
  }
  return timeout;
}

void CDeviceEventHandler::createWindow() {
  m_window = std::make_unique<pdkos::CDeviceMessageWindow>(
      [this](uint32_t event, uint32_t unitMask) { deviceChange(event, unitMask); });
}

void CDeviceEventHandler::destroyWindow() { m_window.reset(); }

size_t CDeviceEventHandler::pendingCount() {
  CPDKLockGuard lock(&m_listMutex);
  return m_pending.size();
}

bool CDeviceEventHandler::serialPendingElsewhere(const DeviceParams& p) {
  // An empty serial identifies nothing; every unprocessed arrival has one.
  if (p.serial[0] == '\0') return false;
  CPDKLockGuard lock(&m_listMutex);
  for (const CPendingArrival& a : m_pending) {
    if (a.params() != p && std::strncmp(a.params().serial, p.serial, sizeof(p.serial)) == 0)
      return true;
  }
  return false;
}
