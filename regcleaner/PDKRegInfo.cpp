#include "regcleaner/PDKRegInfo.h"

#include <cstring>
#include <string>

#include "RegistryKey.h"

namespace {

// The two product ids the maker's drives present.
const char* const kUsbInstanceParents[] = {
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0f3b&Pid_0010\\",
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0f3b&Pid_0011\\",
};

}  // namespace

int CPDKRegInfo::isRegistered(const char* serial, const char* /*letters*/, bool& registered) {
  registered = false;
  // A serial names exactly one subkey: an empty one would open the parent
  // itself, one with a backslash a key further down.
  if (serial == nullptr || serial[0] == '\0' || std::strchr(serial, '\\') != nullptr) return 0;
  for (const char* parent : kUsbInstanceParents) {
    pdkos::CRegistryKey instance(pdkos::RegistryRoot::kLocalMachine, std::string(parent) + serial);
    if (instance.isOpen()) {
      registered = true;
      break;
    }
  }
  return 0;
}
