#include "ProfileText.h"

#include <cstdlib>

std::string CProfileText::Fit(const std::string& read, size_t bufferSize, bool& cut) {
  cut = bufferSize == 0 || read.size() >= bufferSize;
  if (!cut) return read;
  return read.substr(0, bufferSize == 0 ? 0 : bufferSize - 1);
}

int32_t CProfileText::Number(const std::string& text) {
  // A 64-bit reading first: a host whose long is 64 bits wide would
  // otherwise keep digits a Windows build clamps.
  const long long parsed = std::strtoll(text.c_str(), nullptr, 10);
  if (parsed > INT32_MAX) return INT32_MAX;
  if (parsed < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(parsed);
}

std::string CProfileText::Decimal(int32_t value) { return std::to_string(value); }
