// Collects what the SDK writes to its debug channel while it lives.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "DebugOutput.h"

class TraceCapture {
 public:
  TraceCapture() {
    pdkos::setDebugOutputHook([this](const char* text) {
      std::lock_guard<std::mutex> guard(m_lock);
      m_lines.emplace_back(text);
    });
  }
  ~TraceCapture() { pdkos::setDebugOutputHook({}); }

  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
  }
  size_t count(const std::string& text) const {
    size_t n = 0;
    for (const auto& line : lines()) n += line == text ? 1 : 0;
    return n;
  }
  void clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.clear();
  }

 private:
  mutable std::mutex m_lock;
  std::vector<std::string> m_lines;
};
