#include "../DemoRegistration.h"

#include <windows.h>

namespace {

const char kUsbKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0f3b&Pid_0010";

}  // namespace

bool registerDemoDrive(const std::string& serial) {
  const std::string path = std::string(kUsbKey) + "\\" + serial;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void unregisterDemoDrive(const std::string& serial) {
  const std::string path = std::string(kUsbKey) + "\\" + serial;
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}
