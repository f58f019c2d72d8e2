// A plain walk of a decimal number, written apart from the code under test:
// what strtol base 10 makes of a text on a platform whose long has 32 bits.
#pragma once

#include <cstdint>
#include <string>

inline int32_t plainDecimal(const std::string& text) {
  size_t at = 0;
  // strtol stops at the first NUL like every C-string reader.
  const size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
  auto blank = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  while (at < end && blank(text[at])) ++at;
  bool negative = false;
  if (at < end && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  int64_t magnitude = 0;
  for (; at < end && text[at] >= '0' && text[at] <= '9'; ++at) {
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude > int64_t(1) << 31) magnitude = int64_t(1) << 31;  // past any limit
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}
