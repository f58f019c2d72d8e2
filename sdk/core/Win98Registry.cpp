#include "Win98Registry.h"

#include <cctype>
#include <cstdio>

#include "RegistryKey.h"

using pdkos::CRegistryKey;
using pdkos::RegistryRoot;

namespace {
const char kConfigManagerEnum[] = "Config Manager\\Enum";
const char kTovikUsbHardware[] = "USB\\VID_0F3B&PID_";
constexpr size_t kSymbolicNameSkip = 12;
constexpr size_t kLettersMaxBytes = 128;
}  // namespace

template <typename Visit>
bool CWin98Registry::forEachTovikDevice(Visit visit) const {
  CRegistryKey devices(RegistryRoot::kDynData, kConfigManagerEnum);
  std::string name;
  for (unsigned i = 0; devices.subkeyName(i, &name); ++i) {
    CRegistryKey device(devices, name);
    std::string hardwareKey;
    if (!device.stringValue("HardWareKey", &hardwareKey)) continue;
    if (hardwareKey.find(kTovikUsbHardware) == std::string::npos) continue;
    const size_t first = hardwareKey.find('\\');
    const size_t last = hardwareKey.rfind('\\');
    const std::string instance = hardwareKey.substr(last + 1);
    const std::string hardwareName =
        last > first ? hardwareKey.substr(first + 1, last - first - 1) : std::string();
    if (visit(instance, hardwareName)) return true;
  }
  return false;
}

bool CWin98Registry::readEsdiDriveLetters(const std::string& instance,
                                          const std::string& hardwareName,
                                          std::string* letters) const {
  const std::string path = "Enum\\ESDI\\VANTRELSUSB_DISK_________\\USB&VID_0F3B&PID_0999&USB&" +
                           hardwareName + "&" + instance + "00";
  CRegistryKey disk(RegistryRoot::kLocalMachine, path);
  return disk.stringValue("CurrentDriveLetterAssignment", letters, kLettersMaxBytes);
}

bool CWin98Registry::findUsbInstanceByLetter(char letter, std::string* productId,
                                             std::string* instance) const {
  const char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  return forEachTovikDevice([&](const std::string& inst, const std::string& hardwareName) {
    std::string letters;
    if (!readEsdiDriveLetters(inst, hardwareName, &letters)) return false;
    for (char c : letters) {
      if (std::toupper(static_cast<unsigned char>(c)) != wanted) continue;
      const size_t pid = hardwareName.find("PID_");
      *productId = pid == std::string::npos ? std::string() : hardwareName.substr(pid);
      *instance = inst;
      return true;
    }
    return false;
  });
}

bool CWin98Registry::buildVolumePath(char letter, char* path, size_t size) const {
  std::string productId;
  std::string instance;
  if (!findUsbInstanceByLetter(letter, &productId, &instance)) return false;
  CRegistryKey device(RegistryRoot::kLocalMachine,
                      "Enum\\USB\\VID_0F3B&" + productId + "\\" + instance);
  std::string symbolicName;
  if (!device.stringValue("SymbolicName", &symbolicName)) return false;
  if (symbolicName.size() <= kSymbolicNameSkip) return false;
  const int n = std::snprintf(path, size, "\\\\.\\%s", symbolicName.c_str() + kSymbolicNameSkip);
  return n > 0 && static_cast<size_t>(n) < size;
}

bool CWin98Registry::isInstanceRegistered(const std::string& instance) const {
  return forEachTovikDevice(
      [&](const std::string& inst, const std::string&) { return inst == instance; });
}
