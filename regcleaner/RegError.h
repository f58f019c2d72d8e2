// One failed registry call of the registry cleaner's objects.
#pragma once

#include <string>

struct RegError {
  int code;  // the mapped result code
  // "OpenKey", "QueryValue", "QueryInfo", "EnumKey", "DeleteKey", "DeleteValue",
  // "GetKeySecurity" or "SetSecurity".
  std::string operation;
  std::string keyName;
  std::string valueName;
};
