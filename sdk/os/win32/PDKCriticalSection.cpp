#include "PDKCriticalSection.h"

CPDKCriticalSection::CPDKCriticalSection() { InitializeCriticalSection(&section_.section); }

CPDKCriticalSection::~CPDKCriticalSection() {
  if (section_.destroyed) return;
  DeleteCriticalSection(&section_.section);
  section_.destroyed = true;
}

int CPDKCriticalSection::lock() {
  EnterCriticalSection(&section_.section);
  return 0;
}

int CPDKCriticalSection::unlock() {
  LeaveCriticalSection(&section_.section);
  return 0;
}
