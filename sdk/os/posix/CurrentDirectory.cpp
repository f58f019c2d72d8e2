#include "CurrentDirectory.h"

#include <unistd.h>

#include <cstring>

namespace pdkos {

namespace {

class PosixCurrentDirectory : public ICurrentDirectory {
 public:
  bool get(char* buffer, size_t size) override {
    return buffer != nullptr && size > 0 && getcwd(buffer, size) != nullptr;
  }
  bool set(const char* path) override { return path != nullptr && chdir(path) == 0; }
  bool windowsDirectory(char* buffer, size_t size) override {
    if (buffer == nullptr || size < 2) return false;
    std::strcpy(buffer, "/");
    return true;
  }
};

}  // namespace

ICurrentDirectory& platformCurrentDirectory() {
  static PosixCurrentDirectory instance;
  return instance;
}

}  // namespace pdkos
