// The caller's sink as the privacy zone calls it: absent is allowed, and
// whatever a notification throws stays with the caller's code.
#pragma once

#include "DepositNotify.h"

class CGuardedNotify : public IDepositNotify {
 public:
  explicit CGuardedNotify(IDepositNotify* sink) : m_sink(sink) {}

  void onProgress(int value) override;
  void onFormatDone() override;
  void onError(int code, const char* text) override;
  void onCompleted() override;
  void onReconnectFailed(int code, const char* text) override;

 private:
  template <typename Call>
  void guarded(Call call);

  IDepositNotify* m_sink;
};
