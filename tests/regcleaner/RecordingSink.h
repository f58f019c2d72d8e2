// Keeps what the registry cleaner's objects report.
#pragma once

#include <string>
#include <vector>

#include "regcleaner/IPDKRegLogSink.h"

class RecordingSink : public IPDKRegLogSink {
 public:
  void logText(int level, const char* text) override {
    lines.push_back(std::to_string(level) + " " + text);
  }
  std::vector<std::string> lines;
};
