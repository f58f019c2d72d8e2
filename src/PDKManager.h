// The application's list of Tovik Drives: the SDK's listener that keeps one
// proxy per device id and turns the SDK's events, which arrive on the SDK's
// thread, into messages posted to the main window. One per process, shared
// by reference counting.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "PDKProxy.h"
#include "sdk/PDKSDK.h"

// Posted to the target window; wParam: upper-case drive letter (0 when not
// known), lParam: the SDK's device id.
constexpr UINT WM_PLUNDA_CHANGE = WM_USER + 26;
constexpr UINT WM_PLUNDA_INSERT = WM_USER + 27;
constexpr UINT WM_PLUNDA_REMOVE = WM_USER + 28;
constexpr UINT WM_PLUNDA_UNSUPPORTED = WM_USER + 29;
constexpr UINT WM_PLUNDA_ERROR = WM_USER + 30;

class CPDKManager : public CDeviceListener {
 public:
  static constexpr int kSlotCount = 26;

  // The manager of the process, made on first use; each Acquire needs a Release.
  static CPDKManager* Acquire();
  // The references left; the manager is destroyed when the last one goes.
  static unsigned Release();

  ~CPDKManager() override;

  // Starts telling `window` of drives; false when the SDK would not listen.
  bool startListen(HWND window);
  // Stops telling anyone, empties every slot, leaves the SDK.
  bool stopListen();

  // The proxy of device `id`; an always-empty one for ids outside 0-25.
  CPDKProxy& GetProxy(int id);
  int DriveCount() const;
  static std::string SdkVersion();

  void deviceConnected(const DeviceParams& device) override;
  void deviceDisconnected(const DeviceParams& device) override;
  void deviceUpdated(const DeviceParams& device) override;
  bool deviceNotRecognized(const DeviceParams& device) override;

 private:
  CPDKManager() = default;

  // The letter the messages name: the first letter showing the public
  // partition, else the lowest letter, else 0.
  char LetterOf(const DeviceParams& device);
  void Post(UINT message, char letter, int id) const;
  // Runs one event's handler; anything it throws becomes WM_PLUNDA_ERROR
  // with the letter as far as the handler got, and the trace line `failure`.
  template <typename Handler>
  void Guarded(const DeviceParams& device, const char* failure, Handler handler);
  static bool InSlotRange(int id) { return id >= 0 && id < kSlotCount; }

  CPDKProxy m_slots[kSlotCount];
  CPDKProxy m_empty;
  std::atomic<HWND> m_target{nullptr};
};
