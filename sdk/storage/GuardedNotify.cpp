#include "GuardedNotify.h"

template <typename Call>
void CGuardedNotify::guarded(Call call) {
  if (m_sink == nullptr) return;
  try {
    call(*m_sink);
  } catch (...) {
    // A sink that throws must not break the drive operation it watches.
  }
}

void CGuardedNotify::onProgress(int value) {
  guarded([&](IDepositNotify& s) { s.onProgress(value); });
}
void CGuardedNotify::onFormatDone() {
  guarded([](IDepositNotify& s) { s.onFormatDone(); });
}
void CGuardedNotify::onError(int code, const char* text) {
  guarded([&](IDepositNotify& s) { s.onError(code, text); });
}
void CGuardedNotify::onCompleted() {
  guarded([](IDepositNotify& s) { s.onCompleted(); });
}
void CGuardedNotify::onReconnectFailed(int code, const char* text) {
  guarded([&](IDepositNotify& s) { s.onReconnectFailed(code, text); });
}
