// What the application implements to learn of drives. Every callback runs on
// the SDK's detection thread (or on the thread running a reconnect) with the
// SDK lock held, and its params are valid only during the call.
#pragma once

#include "DeviceParams.h"

class CPDKSDK;

class CDeviceListener {
 public:
  CDeviceListener();
  // Detaches a listener that is still attached, so the SDK never calls a
  // destroyed object.
  virtual ~CDeviceListener();
  CDeviceListener(const CDeviceListener&) = delete;
  CDeviceListener& operator=(const CDeviceListener&) = delete;

  // Turns the SDK's current event into one of the callbacks below.
  virtual void update(CPDKSDK& subject);
  virtual void deviceConnected(const DeviceParams& params) = 0;
  virtual void deviceDisconnected(const DeviceParams& params) = 0;
  virtual void deviceUpdated(const DeviceParams& params);
  // True asks the SDK to try the drive again without the product-name check.
  virtual bool deviceNotRecognized(const DeviceParams& params);
  virtual bool isDeviceValid(const DeviceParams& params);

  // Registers with the SDK and starts detection. False before PDKSDK_init and
  // on Windows versions without drive detection (nothing is registered then).
  bool startListen();
  // Unregisters; the SDK keeps detecting for other listeners.
  void stopListen();

 private:
  bool m_listening = false;
};
