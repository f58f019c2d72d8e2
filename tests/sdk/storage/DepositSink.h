// A privacy-zone sink that writes down what it is told, from any thread.
#pragma once

#include <string>

#include "DepositNotify.h"
#include "EventLog.h"

class DepositSink : public IDepositNotify, public EventLog<std::string> {
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
};
