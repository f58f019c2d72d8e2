#include "GUI/Trace.h"

#include <windows.h>

void TraceError(const char* file, int line, const std::string& text) {
  OutputDebugStringA(
      (std::string(file) + "(" + std::to_string(line) + ") : ERROR " + text + "\n").c_str());
}

void TraceException(const char* file, int line, const char* what) {
  std::string text = what == nullptr ? "CException" : std::string("Exception ") + what;
  OutputDebugStringA(
      (std::string(file) + "(" + std::to_string(line) + ") : " + text + "\r\n").c_str());
}
