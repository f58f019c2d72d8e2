// Where long drive operations (formatting, the privacy zone's repartitioning)
// report to their caller. Calls arrive on the thread doing the work.
#pragma once

class IDepositNotify {
 public:
  virtual ~IDepositNotify() = default;
  // The process-wide progress value (its low 16 bits).
  virtual void onProgress(int value) = 0;
  virtual void onFormatDone() = 0;
  virtual void onError(int code, const char* text) = 0;
  virtual void onCompleted() = 0;
  virtual void onReconnectFailed(int code, const char* text) = 0;
};
