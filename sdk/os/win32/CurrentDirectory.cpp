#include "CurrentDirectory.h"

#include <windows.h>

#include <climits>

namespace pdkos {

namespace {

DWORD bufferLength(size_t size) { return size > UINT_MAX ? UINT_MAX : DWORD(size); }

class Win32CurrentDirectory : public ICurrentDirectory {
 public:
  // Both calls answer the needed size (with the terminator) when the buffer is
  // too small, and 0 on failure: only a length below the buffer size is a result.
  bool get(char* buffer, size_t size) override {
    if (buffer == nullptr || size == 0) return false;
    const DWORD n = GetCurrentDirectoryA(bufferLength(size), buffer);
    return n > 0 && n < size;
  }
  bool set(const char* path) override {
    return path != nullptr && SetCurrentDirectoryA(path) != FALSE;
  }
  bool windowsDirectory(char* buffer, size_t size) override {
    if (buffer == nullptr || size == 0) return false;
    const UINT n = GetWindowsDirectoryA(buffer, UINT(bufferLength(size)));
    return n > 0 && n < size;
  }
};

}  // namespace

ICurrentDirectory& platformCurrentDirectory() {
  static Win32CurrentDirectory instance;
  return instance;
}

}  // namespace pdkos
