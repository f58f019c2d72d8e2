// The detection thread: scans the drives present, then hears the system's
// volume announcements and recognises settled arrivals, until stopped.
#pragma once

#include <memory>

#include "PDKEvent.h"
#include "PDKThread.h"

class CDeviceChecker;
class CDeviceEventHandler;

class CDevicePoll : public CPDKThread {
 public:
  static constexpr uint32_t kPeriodMs = 200;

  // Picks the event handler for this Windows version; versions without drive
  // detection get none.
  CDevicePoll();
  ~CDevicePoll() override;

  bool hasDetection() const { return m_handler != nullptr; }
  CDeviceEventHandler* handler() const { return m_handler.get(); }

  // Replaces the recognise step; only before the thread first starts.
  void setDeviceChecker(std::unique_ptr<CDeviceChecker> checker);
  // Installs the checker (a default one when none was given) and starts the
  // thread; does nothing without a handler or when running.
  void startPolling();
  // Blocks until the initial scan of a started thread is over.
  void waitRunAfterInit();

 protected:
  void run() override;

 private:
  std::unique_ptr<CDeviceEventHandler> m_handler;
  std::unique_ptr<CDeviceChecker> m_checker;
  CPDKEvent m_runAfterInit{true, false};
};
