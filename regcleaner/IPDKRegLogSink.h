// Where the registry cleaner's objects send what they do, with a level:
// 1 a problem, 2 a step (the serial being cleaned), 3 a single key or value.
#pragma once

class IPDKRegLogSink {
 public:
  virtual ~IPDKRegLogSink() = default;
  virtual void logText(int level, const char* text) = 0;
};
