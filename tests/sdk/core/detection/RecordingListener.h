// A device listener that writes down what it is told, for tests on any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceListener.h"

struct HeardEvent {
  std::string what;  // "connected", "disconnected", "updated", "notRecognized"
  DeviceParams params;
};

class RecordingListener : public CDeviceListener {
 public:
  ~RecordingListener() override { stopListen(); }

  void deviceConnected(const DeviceParams& p) override { record("connected", p); }
  void deviceDisconnected(const DeviceParams& p) override { record("disconnected", p); }
  void deviceUpdated(const DeviceParams& p) override { record("updated", p); }
  bool deviceNotRecognized(const DeviceParams& p) override {
    record("notRecognized", p);
    return retryUnrecognised;
  }

  std::vector<HeardEvent> events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }
  std::vector<std::string> kinds() const {
    std::vector<std::string> out;
    for (const auto& e : events()) out.push_back(e.what);
    return out;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
  }
  // Waits until at least count events were heard.
  bool waitFor(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
  }

  std::atomic<bool> retryUnrecognised{false};

 private:
  void record(const char* what, const DeviceParams& p) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back({what, p});
    m_changed.notify_all();
  }

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<HeardEvent> m_events;
};
