// The SDK's central object: detection, the device table and its listeners.
// Its life is framed by PDKSDK_init and PDKSDK_fini.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "DeviceParams.h"
#include "PDKCriticalSection.h"

class CDeviceListener;
class CDeviceManager;
class CDevicePoll;
class CPDKImpl;
class IPDKObserver;
class CReconnectJob;

class CPDKSDK {
 public:
  // First call creates the initialisation guard and the SDK lock; every call
  // returns how often it has been called.
  static int init();
  // Stops detection, then destroys the object, the guard and the lock.
  static void fini();
  // The one object, made on first use. Throws code 25 before init.
  static CPDKSDK& instance();
  // The lock around the device table, listener notification and attach/detach.
  // Throws code 25 before init.
  static CPDKCriticalSection& sdkLock();
  // Between PDKSDK_init and PDKSDK_fini.
  static bool initialised();

  virtual ~CPDKSDK();

  // Listeners are told of every change, in the order they were attached.
  virtual void attach(CDeviceListener* listener);
  virtual void detach(CDeviceListener* listener);
  // Tells every listener of the current event record.
  virtual void notify();
  virtual void startPolling();
  virtual void stopPolling();
  // Tells the drive of the job to drop off the bus and waits for its return,
  // hiding its absence from the listeners: 0 when it came back, 8 when it
  // stayed away past the job's limit, or the detach command's error.
  virtual int transparentReconnect(CReconnectJob& job);
  virtual void addJob(CReconnectJob* job);

  // From detection. p.id (and for a known drive status and mask) change to
  // what was reported.
  void deviceArrival(DeviceParams& p);
  void deviceRemoval(const DeviceParams& p);
  // A drive a listener wants taken in without the product-name check.
  void retryUnrecognised(const DeviceParams& p);
  // The params of the first drive holding the letter.
  bool findByLetter(char letter, DeviceParams* params);
  // The table object of p.id when it holds a drive in exactly the state of p
  // (not gone); the observer is then told of its changes. Null otherwise.
  CPDKImpl* attachObserver(const DeviceParams& p, IPDKObserver* observer);
  // The observer is no longer told of the changes of the drive in slot id.
  void detachObserver(int id, IPDKObserver* observer);

  // The record being reported; null outside a notification.
  const DeviceParams* currentEvent() const { return m_currentEvent; }
  bool hasDetection() const;
  CDeviceManager& deviceManager() { return *m_deviceManager; }
  CDevicePoll& poll() { return *m_poll; }

 private:
  CPDKSDK();
  // Reports one record to every listener under the SDK lock.
  void report(const DeviceParams& p);
  void removeJob(CReconnectJob* job);
  // The letters whose removal the job hides.
  uint32_t jobMask(const CReconnectJob& job) const;

  CPDKCriticalSection m_listenersLock;
  std::vector<CDeviceListener*> m_listeners;
  const DeviceParams* m_currentEvent = nullptr;
  std::unique_ptr<CDeviceManager> m_deviceManager;
  std::unique_ptr<CDevicePoll> m_poll;
  std::vector<CReconnectJob*> m_jobs;
};
