// A privacy-zone sink that writes down what it is told, from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "DepositNotify.h"

class DepositSink : public IDepositNotify {
 public:
  void onProgress(int) override {}
  void onFormatDone() override { record("formatDone"); }
  void onError(int code, const char* text) override {
    record("error " + std::to_string(code) + " " + text);
  }
  void onCompleted() override { record("completed"); }
  void onReconnectFailed(int code, const char* text) override {
    record("reconnectFailed " + std::to_string(code) + " " + text);
  }

  std::vector<std::string> events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
  }
  bool waitFor(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
  }

 private:
  void record(const std::string& what) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(what);
    m_changed.notify_all();
  }
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<std::string> m_events;
};
