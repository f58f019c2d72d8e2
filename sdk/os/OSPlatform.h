#pragma once

#include <cstdint>

// The system services behind the portable front ends; one implementation per platform.
namespace pdkos::platform {

uint32_t tickCount();
void sleep(uint32_t ms);
void debugOutput(const char* text);

}  // namespace pdkos::platform
