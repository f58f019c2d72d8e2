#pragma once

#include <atomic>
#include <chrono>
#include <string>

// Names of mutexes and events that no other test, and no test run in another
// build folder at the same time, uses.
inline std::string uniqueName(const std::string& tag) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::system_clock::now().time_since_epoch().count();
  return "pdkos-test-" + tag + "-" + std::to_string(stamp) + "-" + std::to_string(counter++);
}
