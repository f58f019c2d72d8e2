// Turns the system's volume announcements into drives. Arrivals wait in a
// list until they have settled; the detection thread then recognises them and
// reports them to the SDK. One handler per process, driven by the poll thread.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "DeviceParams.h"
#include "PDKCriticalSection.h"
#include "PendingArrival.h"

class CDeviceChecker;
class IPDKRegInfo;
namespace pdkos {
class CDeviceMessageWindow;
}

class CDeviceEventHandler {
 public:
  static constexpr uint32_t kBaseDelayMs = 500;
  // While an arrival is still settling the loop looks again this soon.
  static constexpr uint32_t kSettlingPollMs = 20;
  static constexpr uint32_t kDeviceArrival = 0x8000;
  static constexpr uint32_t kDeviceRemoveComplete = 0x8004;

  CDeviceEventHandler();
  virtual ~CDeviceEventHandler();
  CDeviceEventHandler(const CDeviceEventHandler&) = delete;
  CDeviceEventHandler& operator=(const CDeviceEventHandler&) = delete;

  // The drives present at start; ends by creating the hidden window.
  virtual void initialScan() = 0;
  // Recognises one drive and reports it; true when the SDK took it in.
  virtual bool processOneDevice(DeviceParams& p) = 0;
  // Waits for the next message or for the next arrival to become due.
  virtual void wait() = 0;
  // The checks after recognition that decide p.status.
  virtual void authenticate(DeviceParams& p) = 0;

  // Not owned; installed before the poll thread starts.
  void setDeviceChecker(CDeviceChecker* checker);
  CDeviceChecker* deviceChecker() const { return m_checker; }

  // A device-change message: each letter of the mask on its own, ascending.
  void deviceChange(uint32_t event, uint32_t unitMask);
  void arrival(char letter);
  void removal(char letter);
  // Recognises the arrivals that are due.
  void processEvents();
  // How long the next wait may last.
  uint32_t waitTimeout();

  // The hidden window lives on the thread that created it.
  void createWindow();
  void destroyWindow();

  // The list's lock: the first in the SDK's lock order.
  CPDKCriticalSection& listMutex() { return m_listMutex; }
  size_t pendingCount();
  // Whether another pending arrival than p already carries p's serial.
  bool serialPendingElsewhere(const DeviceParams& p);

 protected:
  pdkos::CDeviceMessageWindow* window() { return m_window.get(); }
  IPDKRegInfo& regInfo() { return *m_regInfo; }

 private:
  // The arrival of the letter still waiting to be processed, if any.
  CPendingArrival* unprocessedArrival(char letter);

  CDeviceChecker* m_checker = nullptr;
  std::list<CPendingArrival> m_pending;
  CPDKCriticalSection m_listMutex;
  std::unique_ptr<pdkos::CDeviceMessageWindow> m_window;
  std::unique_ptr<IPDKRegInfo> m_regInfo;
};
