// The SDK's central object: detection, the device table and its listeners.
// Its life is framed by PDKSDK_init and PDKSDK_fini.
#pragma once

class CPDKCriticalSection;

class CPDKSDK {
 public:
  // First call creates the initialisation guard and the SDK lock; every call
  // returns how often it has been called.
  static int init();
  // Destroys the object, the guard and the lock.
  static void fini();
  // The one object, made on first use. Throws code 25 before init.
  static CPDKSDK& instance();
  // The lock around the device table, listener notification and attach/detach.
  // Throws code 25 before init.
  static CPDKCriticalSection& sdkLock();

  virtual ~CPDKSDK();

 private:
  CPDKSDK();
};
