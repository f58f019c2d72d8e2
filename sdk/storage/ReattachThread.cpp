#include "ReattachThread.h"

#include "PDKErrors.h"
#include "PDKSDK.h"
#include "PDKTrace.h"

CReattachThread::CReattachThread() : CPDKThread(kPollMs) {}

CReattachThread::~CReattachThread() { stop(); }

int CReattachThread::runJob(CReconnectJob& job, IDepositNotify& notify) {
  const int result = CPDKSDK::instance().transparentReconnect(job);
  if (result != pdk::kOk) {
    notify.onReconnectFailed(pdk::kNotConnected, "Device didn't reconnect after detaching");
  } else {
    notify.onCompleted();
  }
  return result;
}

bool CReattachThread::begin(const DeviceParams& params, CDeviceHandle& dev, uint32_t waitSeconds,
                            uint8_t bootFlag, IDepositNotify* notify) {
  wait();
  m_work = std::make_unique<Work>(params, dev, waitSeconds, bootFlag, notify);
  m_result = pdk::kOk;
  start();
  if (isRunning()) return true;
  m_work.reset();
  return false;
}

int CReattachThread::wait() {
  stop();
  m_work.reset();
  return m_result;
}

void CReattachThread::run() {
  try {
    m_result = runJob(m_work->job, m_work->notify);
  } catch (...) {
    m_result = pdk::kGeneralError;
    PDKTrace("caught exception in CFixDiskDepositHdl::runThread\n");
  }
}
