#include "PDKCriticalSection.h"

// std::recursive_mutex needs no setup or teardown of its own.
CPDKCriticalSection::CPDKCriticalSection() = default;

CPDKCriticalSection::~CPDKCriticalSection() = default;

int CPDKCriticalSection::lock() {
  section_.lock();
  return 0;
}

int CPDKCriticalSection::unlock() {
  section_.unlock();
  return 0;
}
