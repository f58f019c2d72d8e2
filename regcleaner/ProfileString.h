// One text of an INI file, read the way Windows reads its profile files.
#pragma once

#include <string>

// The value of key in section of file (a full path), or fallback when the file,
// the section or the key is missing. Values have at most 511 characters.
std::string readProfileString(const std::string& file, const std::string& section, const char* key,
                              const char* fallback);
