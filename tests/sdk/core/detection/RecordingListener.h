// A device listener that writes down what it is told, for tests on any thread.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "DeviceListener.h"
#include "EventLog.h"

struct HeardEvent {
  std::string what;  // "connected", "disconnected", "updated", "notRecognized"
  DeviceParams params;
};

class RecordingListener : public CDeviceListener, public EventLog<HeardEvent> {
 public:
  ~RecordingListener() override { stopListen(); }

  void deviceConnected(const DeviceParams& p) override { record({"connected", p}); }
  void deviceDisconnected(const DeviceParams& p) override { record({"disconnected", p}); }
  void deviceUpdated(const DeviceParams& p) override { record({"updated", p}); }
  bool deviceNotRecognized(const DeviceParams& p) override {
    record({"notRecognized", p});
    return retryUnrecognised;
  }

  std::vector<std::string> kinds() const {
    std::vector<std::string> out;
    for (const auto& e : events()) out.push_back(e.what);
    return out;
  }

  std::atomic<bool> retryUnrecognised{false};
};
