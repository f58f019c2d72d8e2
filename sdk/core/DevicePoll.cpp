#include "DevicePoll.h"

#include "DeviceChecker.h"
#include "MEWMDeviceEventHandler.h"
#include "OSKind.h"
#include "PDKLockGuard.h"
#include "PDKSDK.h"
#include "WMDeviceEventHandler.h"

CDevicePoll::CDevicePoll() : CPDKThread(kPeriodMs) {
  switch (GetOSKind()) {
    case pdk::kOSWinME:
      m_handler = std::make_unique<CMEWMDeviceEventHandler>();
      break;
    case pdk::kOSWin98SE:
    case pdk::kOSWinNT4:
    case pdk::kOSWin2000:
    case pdk::kOSWinXP:
      m_handler = std::make_unique<CWMDeviceEventHandler>();
      break;
    default:
      break;
  }
}

CDevicePoll::~CDevicePoll() { stop(); }

void CDevicePoll::setDeviceChecker(std::unique_ptr<CDeviceChecker> checker) {
  m_checker = std::move(checker);
}

void CDevicePoll::startPolling() {
  if (m_handler == nullptr) return;
  // The locks in the order the thread takes them, so two starts are serialised
  // without ever inverting it.
  CPDKLockGuard list(&m_handler->listMutex());
  CPDKLockGuard sdk(&CPDKSDK::sdkLock());
  if (isRunning()) return;
  if (m_checker == nullptr) m_checker = std::make_unique<CDeviceChecker>();
  m_handler->setDeviceChecker(m_checker.get());
  start();
}

void CDevicePoll::waitRunAfterInit() { m_runAfterInit.wait(CPDKEvent::kInfinite); }

void CDevicePoll::run() {
  m_runAfterInit.reset();
  m_handler->initialScan();
  m_runAfterInit.set();
  while (runFlag()) {
    m_handler->wait();
    m_handler->processEvents();
  }
  m_handler->destroyWindow();
}
