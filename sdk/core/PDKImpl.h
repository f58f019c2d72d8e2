// The device-table object of one drive: its params and the device objects
// that follow it. Every change of the params reaches the observers.
#pragma once

#include <vector>

#include "DeviceParams.h"
#include "PDKCriticalSection.h"

class CPDKImpl;

// A device object following a drive; told under the SDK lock.
class IPDKObserver {
 public:
  virtual ~IPDKObserver() = default;
  virtual void update(CPDKImpl& subject, const DeviceParams& params) = 0;
};

class CPDKImpl {
 public:
  CPDKImpl();
  virtual ~CPDKImpl();
  CPDKImpl(const CPDKImpl&) = delete;
  CPDKImpl& operator=(const CPDKImpl&) = delete;

  int getId() const { return m_params.id; }
  const DeviceParams& params() const { return m_params; }
  int status() const { return m_params.status; }

  // Stores params that differ from the stored ones (with the id, when one is
  // given) and tells the observers; equal params change nothing.
  void setParams(const DeviceParams& params, int id = -1);
  // Stores a different status and tells the observers.
  void setStatus(int status);

  void attachObserver(IPDKObserver* observer);
  void detachObserver(IPDKObserver* observer);
  size_t observerCount() const;

 private:
  void notifyObservers();

  mutable CPDKCriticalSection m_observersLock;
  std::vector<IPDKObserver*> m_observers;
  DeviceParams m_params;
};
