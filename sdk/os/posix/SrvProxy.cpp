#include "SrvProxy.h"

#include <mutex>

#include "DebugOutput.h"

// No administrator service exists outside Windows: the first request says so once.
struct CSrvProxy::Impl {
  std::mutex lock;
  bool tried = false;
};

CSrvProxy::CSrvProxy() : m_impl(new Impl) {}
CSrvProxy::~CSrvProxy() { delete m_impl; }

CSrvProxy& CSrvProxy::instance() {
  static CSrvProxy proxy;
  return proxy;
}

bool CSrvProxy::initialisationTried() const {
  std::lock_guard<std::mutex> guard(m_impl->lock);
  return m_impl->tried;
}

pdk::PDKHandle CSrvProxy::openHandle(const char*) {
  std::lock_guard<std::mutex> guard(m_impl->lock);
  if (!m_impl->tried) {
    m_impl->tried = true;
    pdkos::debugOutput("CSrvProxy::openHandle - can't initilize admin service\n");
  }
  return pdk::invalidHandle();
}
