#pragma once

#include "OSTypes.h"

// A named mutex shared by every object of the same name. Ownership belongs to
// a thread and is recursive. It also excludes other processes that use the name.
class CPDKMutex {
 public:
  static constexpr const char* kDefaultName = "___PDK_MUTEX_DEFAULT_NAME";

  // createNow: create at once under the default name, not owned.
  explicit CPDKMutex(bool createNow = false);
  virtual ~CPDKMutex();

  CPDKMutex(const CPDKMutex&) = delete;
  CPDKMutex& operator=(const CPDKMutex&) = delete;

  // Does nothing once created. A null name means kDefaultName. initialOwner
  // gives the calling thread ownership only when this call brings the mutex
  // into being. Returns 0, or -1 with errno set.
  int create(const char* name, bool initialOwner);
  // Waits without limit; an owner that vanished without releasing still
  // counts as success. Returns 0, or -1 with errno set.
  int lock();
  // Returns 0, or -1 with errno set (pdkos::kErrorNotOwner when not owned).
  int unlock();

 private:
  pdkos::NativeMutexHandle handle_{};
  bool created_ = false;
  bool closed_ = false;
};
