#include "PDKSDK.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "Connection.h"
#include "ConnectionSingleton.h"
#include "DeviceListener.h"
#include "DeviceManager.h"
#include "DevicePoll.h"
#include "HotplugWindowCloser.h"
#include "LazyInstance.h"
#include "PDKCriticalSection.h"
#include "PDKException.h"
#include "PDKImpl.h"
#include "PDKLockGuard.h"
#include "PDKTrace.h"
#include "ReconnectJob.h"
#include "ScsiCdb.h"

namespace {

std::atomic<CPDKSDK*> g_sdk{nullptr};
// Its presence marks the SDK as initialised; it serialises making the object.
std::atomic<CPDKCriticalSection*> g_initGuard{nullptr};
std::atomic<CPDKCriticalSection*> g_sdkLock{nullptr};
int g_initCalls = 0;

constexpr uint16_t kDetachSubCode = 0x0048;
// How long the drive stays away and how long it may take to come back, in ms.
constexpr uint32_t kDetachAbsenceMs = 1000;
constexpr uint32_t kDetachReturnLimitMs = 40000;

}  // namespace

CPDKSDK::CPDKSDK()
    : m_deviceManager(std::make_unique<CDeviceManager>()),
      m_poll(std::make_unique<CDevicePoll>()) {}

CPDKSDK::~CPDKSDK() { m_poll.reset(); }

int CPDKSDK::init() {
  if (g_initCalls < 1) {
    g_sdk.store(nullptr);
    g_initGuard.store(new CPDKCriticalSection);
    g_sdkLock.store(new CPDKCriticalSection);
  } else {
    PDKTrace("Init method called twice in application\n");
  }
  return ++g_initCalls;
}

void CPDKSDK::fini() {
  CPDKCriticalSection* lock = g_sdkLock.load();
  if (lock == nullptr || g_initGuard.load() == nullptr) {
    PDKTrace("CPDKSDK::fini() called before init()\n");
    return;
  }
  if (CPDKSDK* sdk = g_sdk.load()) {
    // Never overlap the initial scan. The thread is stopped before the SDK
    // lock is taken: it takes that lock for every report and would otherwise
    // never end.
    if (sdk->m_poll->isRunning()) sdk->m_poll->waitRunAfterInit();
    sdk->stopPolling();
  }
  {
    CPDKLockGuard guard(lock);
    delete g_sdk.exchange(nullptr);
    delete g_initGuard.exchange(nullptr);
  }
  delete g_sdkLock.exchange(nullptr);
}

CPDKSDK& CPDKSDK::instance() {
  return pdk::lazyInstance(g_sdk, g_initGuard.load(), [] { return new CPDKSDK; });
}

CPDKCriticalSection& CPDKSDK::sdkLock() {
  CPDKCriticalSection* lock = g_sdkLock.load();
  if (lock == nullptr) pdk::throwNotInitialised();
  return *lock;
}

bool CPDKSDK::initialised() { return g_sdkLock.load() != nullptr; }

void CPDKSDK::attach(CDeviceListener* listener) {
  CPDKLockGuard sdk(&sdkLock());
  CPDKLockGuard list(&m_listenersLock);
  if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
    m_listeners.push_back(listener);
}

void CPDKSDK::detach(CDeviceListener* listener) {
  CPDKLockGuard sdk(&sdkLock());
  CPDKLockGuard list(&m_listenersLock);
  m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                    m_listeners.end());
}

void CPDKSDK::notify() {
  CPDKLockGuard list(&m_listenersLock);
  // A copy: a listener may attach or detach listeners while it is told.
  const std::vector<CDeviceListener*> listeners = m_listeners;
  for (CDeviceListener* listener : listeners) {
    // Skip one detached by an earlier listener of this round.
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) continue;
    listener->update(*this);
  }
}

void CPDKSDK::report(const DeviceParams& p) {
  CPDKLockGuard sdk(&sdkLock());
  // A listener may cause a report of its own (a retry); the outer one's
  // record is put back afterwards.
  const DeviceParams* outer = m_currentEvent;
  m_currentEvent = &p;
  notify();
  m_currentEvent = outer;
}

void CPDKSDK::startPolling() { m_poll->startPolling(); }

void CPDKSDK::stopPolling() { m_poll->stop(); }

bool CPDKSDK::hasDetection() const { return m_poll->hasDetection(); }

void CPDKSDK::addJob(CReconnectJob* job) {
  CPDKLockGuard sdk(&sdkLock());
  m_jobs.push_back(job);
}

void CPDKSDK::removeJob(CReconnectJob* job) {
  CPDKLockGuard sdk(&sdkLock());
  m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), job), m_jobs.end());
}

void CPDKSDK::deviceArrival(DeviceParams& p) {
  CPDKLockGuard sdk(&sdkLock());
  for (CReconnectJob* job : m_jobs) {
    if (job->gone() && std::strncmp(job->params().serial, p.serial, sizeof(p.serial)) == 0)
      job->event().set();
  }
  if (p.status == pdk::kNotConnected) return;
  const int id = m_deviceManager->addDevice(p);
  if (id == -1) return;
  p.id = id;
  report(p);
}

void CPDKSDK::deviceRemoval(const DeviceParams& p) {
  CPDKLockGuard sdk(&sdkLock());
  for (CReconnectJob* job : m_jobs) {
    if ((jobMask(*job) & p.driveMask) != 0) {
      pdkos::CHotplugWindowCloser::instance().close();
      job->setGone();
      return;
    }
  }
  CPDKImpl* removed = m_deviceManager->removeDevice(p);
  if (removed == nullptr) return;
  const DeviceParams gone = removed->params();
  report(gone);
}

uint32_t CPDKSDK::jobMask(const CReconnectJob& job) const {
  uint32_t mask = job.params().driveMask;
  // A drive with several volumes may have shown more of them since the job
  // was made: every one of them leaves with the drive.
  if (const CPDKImpl* slot = m_deviceManager->slot(job.params().id)) {
    const DeviceParams held = slot->params();
    if (held.status != pdk::kNotConnected &&
        std::strncmp(held.serial, job.params().serial, sizeof(held.serial)) == 0)
      mask |= held.driveMask;
  }
  return mask;
}

void CPDKSDK::retryUnrecognised(const DeviceParams& params) {
  CPDKLockGuard sdk(&sdkLock());
  CPDKImpl* slot = m_deviceManager->findUnrecognised(params);
  if (slot == nullptr) return;
  DeviceParams p = params;
  if (CConnectionSingleton::instance().inquireAndRecognize(p, false) != pdk::kOk ||
      p.status != pdk::kOk)
    return;
  slot->setParams(p, slot->getId());
  DeviceParams connected = slot->params();
  connected.status = pdk::kOk;
  report(connected);
}

bool CPDKSDK::findByLetter(char letter, DeviceParams* params) {
  CPDKLockGuard sdk(&sdkLock());
  const CPDKImpl* slot = m_deviceManager->findByLetter(letter);
  if (slot == nullptr) return false;
  if (params != nullptr) *params = slot->params();
  return true;
}

CPDKImpl* CPDKSDK::attachObserver(const DeviceParams& p, IPDKObserver* observer) {
  CPDKLockGuard sdk(&sdkLock());
  CPDKImpl* slot = m_deviceManager->slot(p.id);
  if (slot == nullptr) return nullptr;
  const DeviceParams held = slot->params();
  if (held != p || held.status == pdk::kNotConnected) return nullptr;
  slot->attachObserver(observer);
  return slot;
}

void CPDKSDK::detachObserver(int id, IPDKObserver* observer) {
  CPDKLockGuard sdk(&sdkLock());
  // By id alone: a handle whose record drifted from the slot's must still
  // never be told anything once it is gone.
  if (CPDKImpl* slot = m_deviceManager->slot(id)) slot->detachObserver(observer);
}

int CPDKSDK::transparentReconnect(CReconnectJob& job) {
  addJob(&job);
  uint8_t data[12];
  pdk::putLe32(data, kDetachAbsenceMs);
  pdk::putLe32(data + 4, kDetachReturnLimitMs);
  pdk::putLe32(data + 8, job.bootFlag());
  const int sent = CConnectionSingleton::instance().vendorOut(
      job.handle(), kDetachSubCode, 0, nullptr, sizeof(data), data, pdk::kDefaultTimeout);
  if (sent != pdk::kOk) {
    // The drive never left: there is no absence to report.
    removeJob(&job);
    return sent;
  }
  pdkos::CHotplugWindowCloser::instance().close();
  // Waited for without the SDK lock: the return is reported under it.
  const int result =
      job.event().wait(job.waitLimitSeconds() * 1000) == 0 ? pdk::kOk : pdk::kNotConnected;
  CPDKLockGuard sdk(&sdkLock());
  removeJob(&job);
  if (result != pdk::kOk && job.reportIfLost()) deviceRemoval(job.params());
  return result;
}
