#pragma once

#include <functional>

namespace pdkos {

// Writes to the debugger channel (standard error on POSIX), or to the hook.
void debugOutput(const char* text);
// An empty function restores the platform output. Thread-safe.
void setDebugOutputHook(std::function<void(const char*)> hook);

}  // namespace pdkos
