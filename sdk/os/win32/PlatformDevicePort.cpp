#include "PlatformDevicePort.h"

#include <windows.h>

#include <io.h>

#include <cctype>
#include <cstring>

namespace pdkos {

namespace {

class CWin32DevicePort : public pdk::IDevicePort {
 public:
  pdk::PDKHandle open(const char* path, uint32_t* error) override {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) *error = GetLastError();
    return h;
  }

  void close(pdk::PDKHandle handle) override { CloseHandle(handle); }

  bool control(pdk::PDKHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
               uint32_t outLength, uint32_t* returned) override {
    DWORD bytes = 0;
    const BOOL ok = DeviceIoControl(handle, code, in, inLength, out, outLength, &bytes, nullptr);
    *returned = bytes;
    return ok != FALSE;
  }

  std::vector<char> logicalDriveLetters() override {
    char roots[128] = {};
    const DWORD length = GetLogicalDriveStringsA(sizeof(roots), roots);
    std::vector<char> letters;
    // A list that did not fit is not in the buffer at all.
    if (length == 0 || length > sizeof(roots)) return letters;
    for (const char* root = roots; *root != '\0'; root += std::strlen(root) + 1) {
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
      if (c >= 'A' && c <= 'Z') letters.push_back(c);
    }
    return letters;
  }

  bool isRemovableDrive(char letter) override {
    const char root[] = {letter, ':', '\\', '\0'};
    return GetDriveTypeA(root) == DRIVE_REMOVABLE;
  }

  bool isVolumeAccessible(char letter) override {
    const char root[] = {letter, ':', '\\', '\0'};
    return _access(root, 6) == 0;
  }

  std::vector<std::string> rootEntries(char letter) override {
    const char pattern[] = {letter, ':', '\\', '*', '\0'};
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }
};

}  // namespace

pdk::IDevicePort& platformDevicePort() {
  static CWin32DevicePort port;
  return port;
}

}  // namespace pdkos
