#include "OSVersion.h"

namespace pdkos {

// There is no Windows version to report here.
bool getVersionEx(uint32_t, OSVersion*) { return false; }

}  // namespace pdkos
