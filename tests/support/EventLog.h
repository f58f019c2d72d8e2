// What a test's listener or sink was told, written from any thread and
// waited for from the test's.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

template <typename Event>
class EventLog {
 public:
  void record(Event event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(std::move(event));
    m_changed.notify_all();
  }
  std::vector<Event> events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.clear();
  }
  // Waits until at least count events were told.
  bool waitFor(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
  }

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<Event> m_events;
};
