#include "../AspiLibraryLink.h"

#include <windows.h>

#include "EmuAspiLibrary.h"
#include "EmuAspiTarget.h"

namespace emu {

bool connectAspiLibrary(CEmuAspiTarget* target) {
  static HMODULE library = LoadLibraryA(kAspiLibraryName);
  auto setTarget = reinterpret_cast<AspiSetTargetFn>(
      reinterpret_cast<void*>(GetProcAddress(library, kAspiSetTargetName)));
  if (setTarget == nullptr) return false;
  if (target != nullptr) {
    setTarget(CEmuAspiTarget::sendThunk, CEmuAspiTarget::supportThunk, target);
  } else {
    setTarget(nullptr, nullptr, nullptr);
  }
  return true;
}

}  // namespace emu
