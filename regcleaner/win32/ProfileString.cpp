#include "ProfileString.h"

#include <windows.h>

std::string readProfileString(const std::string& file, const std::string& section, const char* key,
                              const char* fallback) {
  char buffer[512] = {};
  GetPrivateProfileStringA(section.c_str(), key, fallback, buffer, sizeof(buffer), file.c_str());
  return buffer;
}
