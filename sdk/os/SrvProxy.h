// Client of the administrator service that opens volumes for users who may not
// open them themselves. One per process; it tries to reach the service once.
#pragma once

#include "DevicePort.h"

class CSrvProxy {
 public:
  static CSrvProxy& instance();

  // A handle on path opened by the service for this process, or invalidHandle().
  pdk::PDKHandle openHandle(const char* path);

  // Whether the service was asked for (successfully or not) in this process.
  bool initialisationTried() const;

  CSrvProxy(const CSrvProxy&) = delete;
  CSrvProxy& operator=(const CSrvProxy&) = delete;

 private:
  CSrvProxy();
  ~CSrvProxy();

  struct Impl;
  Impl* m_impl;
};
