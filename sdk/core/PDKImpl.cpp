#include "PDKImpl.h"

#include <algorithm>

#include "PDKLockGuard.h"

CPDKImpl::CPDKImpl() = default;
CPDKImpl::~CPDKImpl() = default;

void CPDKImpl::setParams(const DeviceParams& params, int id) {
  DeviceParams stored = params;
  if (id >= 0) stored.id = id;
  if (stored == m_params) return;
  m_params = stored;
  notifyObservers();
}

void CPDKImpl::setStatus(int status) {
  if (status == m_params.status) return;
  m_params.status = status;
  notifyObservers();
}

void CPDKImpl::attachObserver(IPDKObserver* observer) {
  CPDKLockGuard lock(&m_observersLock);
  if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
    m_observers.push_back(observer);
}

void CPDKImpl::detachObserver(IPDKObserver* observer) {
  CPDKLockGuard lock(&m_observersLock);
  m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer),
                    m_observers.end());
}

size_t CPDKImpl::observerCount() const {
  CPDKLockGuard lock(&m_observersLock);
  return m_observers.size();
}

void CPDKImpl::notifyObservers() {
  CPDKLockGuard lock(&m_observersLock);
  // A copy: an observer of a removed drive detaches itself while it is told.
  const std::vector<IPDKObserver*> observers = m_observers;
  const DeviceParams params = m_params;
  for (IPDKObserver* observer : observers) observer->update(*this, params);
}
