#include "SrvProxy.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>

#include "DebugOutput.h"
#include "PDKCriticalSection.h"
#include "PDKLockGuard.h"

namespace {

// The service's class and its dispatch interface.
const CLSID kServiceClass = {
    0x6d1f3a52, 0x8c4e, 0x4b7a, {0x9e, 0x21, 0x3f, 0x5c, 0x7a, 0x0d, 0x9b, 0x14}};
const IID kServiceInterface = {
    0x6d1f3a53, 0x8c4e, 0x4b7a, {0x9e, 0x21, 0x3f, 0x5c, 0x7a, 0x0d, 0x9b, 0x14}};

struct IAdminService : public IDispatch {
  // Opens path for the process with the given id; the handle is valid in that process.
  virtual HRESULT STDMETHODCALLTYPE OpenHandle(BSTR path, LONG_PTR* handle, DWORD* processId) = 0;
};

void trace(const char* text) { pdkos::debugOutput(text); }

}  // namespace

struct CSrvProxy::Impl {
  CPDKCriticalSection lock;
  bool tried = false;
  bool comInitialised = false;
  IAdminService* service = nullptr;

  bool ensureService() {
    CPDKLockGuard guard(&lock);
    if (tried) return service != nullptr;
    tried = true;
    comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    void* object = nullptr;
    const HRESULT hr =
        CoCreateInstance(kServiceClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         kServiceInterface, &object);
    if (FAILED(hr) || object == nullptr) {
      trace("CSrvProxy::openHandle - can't initilize admin service\n");
      return false;
    }
    service = static_cast<IAdminService*>(object);
    return true;
  }

  ~Impl() {
    if (service != nullptr) service->Release();
    if (comInitialised) CoUninitialize();
  }
};

CSrvProxy::CSrvProxy() : m_impl(new Impl) {}
CSrvProxy::~CSrvProxy() { delete m_impl; }

CSrvProxy& CSrvProxy::instance() {
  static CSrvProxy proxy;
  return proxy;
}

bool CSrvProxy::initialisationTried() const {
  CPDKLockGuard guard(&m_impl->lock);
  return m_impl->tried;
}

pdk::PDKHandle CSrvProxy::openHandle(const char* path) {
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (wideLength <= 0) return pdk::invalidHandle();
  BSTR widePath = SysAllocStringLen(nullptr, static_cast<UINT>(wideLength - 1));
  if (widePath == nullptr) return pdk::invalidHandle();
  MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, wideLength);
  DWORD processId = GetCurrentProcessId();

  LONG_PTR handle = -1;
  if (m_impl->ensureService()) {
    const HRESULT hr = m_impl->service->OpenHandle(widePath, &handle, &processId);
    if (hr != S_OK) {
      char line[256];
      std::snprintf(line, sizeof(line),
                    "CSrvProxy::openHandle - can't open handle to drive %s:\\, error %d\n", path,
                    static_cast<int>(hr));
      trace(line);
      handle = -1;
    }
  }
  SysFreeString(widePath);
  return reinterpret_cast<pdk::PDKHandle>(handle);
}
