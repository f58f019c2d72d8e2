#include "HostFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace emu::hostfile {

Kind kindOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return Kind::kMissing;
  return S_ISREG(info.st_mode) ? Kind::kRegular : Kind::kOther;
}

bool sizeOf(const std::string& path, uint64_t& bytes) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  bytes = static_cast<uint64_t>(info.st_size);
  return true;
}

bool resize(const std::string& path, uint64_t bytes) {
  return ::truncate(path.c_str(), static_cast<off_t>(bytes)) == 0;
}

bool replace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace emu::hostfile
