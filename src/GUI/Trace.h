// Trace lines of the application, to the debugger output only: the source
// path, "(", the line, ") : " and the text.
#pragma once

#include <string>

// The text of an error line: "ERROR " and the text, ended by "\n".
void TraceError(const char* file, int line, const std::string& text);
// What a catch block writes: "Exception " with the reason, or "CException"
// when the reason is null; ended by "\r\n".
void TraceException(const char* file, int line, const char* what);
