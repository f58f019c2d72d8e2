#pragma once

// The SDK's debug trace: a printf-style line, cut to 255 characters, written to
// the debugger channel (standard error on Linux).
void PDKTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
