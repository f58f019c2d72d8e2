#include "PDKTrace.h"

#include <cstdarg>
#include <cstdio>

#include "DebugOutput.h"

void PDKTrace(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  // vsnprintf cuts at 255 characters and always terminates.
  if (std::vsnprintf(line, sizeof(line), format, args) < 0) line[0] = '\0';
  va_end(args);
  pdkos::debugOutput(line);
}
