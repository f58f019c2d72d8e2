// A re-attach on a worker thread that its starter waits for: the worker owns
// its job and its copy of the drive's record, and the starter keeps the
// handle the detach goes through and the sink open until wait() or the
// destructor has seen the worker end.
#pragma once

#include <cstdint>
#include <memory>

#include "DeviceHandle.h"
#include "GuardedNotify.h"
#include "PDKThread.h"
#include "ReconnectJob.h"

class CReattachThread : public CPDKThread {
 public:
  static constexpr uint32_t kPollMs = 20;

  // Everything one re-attach uses besides the drive's own handle, which it borrows.
  struct Work {
    Work(const DeviceParams& params, const CDeviceHandle& dev, uint32_t waitSeconds,
         uint8_t bootFlag, IDepositNotify* sink)
        : handle(params, &dev), job(params, handle, waitSeconds, bootFlag, 1), notify(sink) {}
    CDeviceHandle handle;
    CReconnectJob job;
    CGuardedNotify notify;
  };

  CReattachThread();
  ~CReattachThread() override;

  // The reconnect of the work's job, then its outcome to the sink: 0 when
  // the drive came back, else the reconnect's code.
  static int runJob(CReconnectJob& job, IDepositNotify& notify);

  // Starts re-attaching the drive, after waiting for a re-attach still
  // running. False when no thread could be started.
  bool begin(const DeviceParams& params, CDeviceHandle& dev, uint32_t waitSeconds,
             uint8_t bootFlag, IDepositNotify* notify);
  // Waits until the re-attach has ended: its result, 0 when none was begun.
  int wait();

 protected:
  void run() override;

 private:
  std::unique_ptr<Work> m_work;
  int m_result = 0;
};
