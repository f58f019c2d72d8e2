#include "ProfileString.h"

// Only Windows keeps the registry these texts are compared with, so elsewhere
// the built-in texts stand.
std::string readProfileString(const std::string&, const std::string&, const char*,
                              const char* fallback) {
  return fallback;
}
