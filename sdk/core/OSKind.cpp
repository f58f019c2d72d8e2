#include "OSKind.h"

#include <atomic>

namespace pdk {

namespace {
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatform9x = 1;
constexpr uint32_t kPlatformNT = 2;
constexpr uint32_t kVersionInfoExSize = 156;
constexpr uint32_t kVersionInfoSize = 148;
constexpr int kNotComputed = -100;
}  // namespace

int classifyOSVersion(const pdkos::OSVersion& v) {
  if (v.platformId == kPlatformWin32s) return kOSUnsupported;
  if (v.platformId == kPlatform9x) {
    if (v.major != 4) return kOSUnknown;
    if (v.minor == 0) return kOSUnsupported;
    if (v.minor == 10)
      return v.servicePack[0] != '\0' && v.servicePack[1] == 'A' ? kOSWin98SE : kOSWin98;
    if (v.minor == 90) return kOSWinME;
    return kOSUnknown;
  }
  if (v.platformId == kPlatformNT) {
    if (v.major <= 4) return kOSWinNT4;
    if (v.major == 5 && v.minor == 0) return kOSWin2000;
    if (v.major == 5 && v.minor == 1) return kOSWinXP;
  }
  return kOSUnknown;
}

}  // namespace pdk

namespace {
std::atomic<int> g_overriddenKind{kOSKindNotOverridden};
}  // namespace

void setOSKindForTesting(int kind) { g_overriddenKind.store(kind); }

int GetOSKind() {
  const int overridden = g_overriddenKind.load();
  if (overridden != kOSKindNotOverridden) return overridden;

  static std::atomic<int> cached{pdk::kNotComputed};
  const int known = cached.load();
  if (known != pdk::kNotComputed) return known;

  pdkos::OSVersion version;
  if (!pdkos::getVersionEx(pdk::kVersionInfoExSize, &version) &&
      !pdkos::getVersionEx(pdk::kVersionInfoSize, &version)) {
    return pdk::kOSUnsupported;
  }
  const int kind = pdk::classifyOSVersion(version);
  if (kind != pdk::kOSUnknown) cached.store(kind);
  return kind;
}
