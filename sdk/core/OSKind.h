// The SDK's classification of the running Windows version; it selects the
// command transport and whether drives are detected at all.
#pragma once

#include "OSVersion.h"

namespace pdk {

enum OSKind : int {
  kOSUnknown = -1,
  kOSUnsupported = 0,  // Win32s, Windows 95, or no answer
  kOSWin98 = 2,
  kOSWin98SE = 3,
  kOSWinME = 4,
  kOSWinNT4 = 5,
  kOSWin2000 = 6,
  kOSWinXP = 7,
};

// The kind of one version answer.
int classifyOSVersion(const pdkos::OSVersion& version);

}  // namespace pdk

// The kind of the running system, computed once; -1 and a failed query are not kept.
int GetOSKind();

// Test seam: makes GetOSKind() answer `kind` without asking the system, so the
// code paths of every Windows kind run on any host. kOSKindNotOverridden goes
// back to the real answer; the cached real answer is not touched either way.
constexpr int kOSKindNotOverridden = -100;
void setOSKindForTesting(int kind);
