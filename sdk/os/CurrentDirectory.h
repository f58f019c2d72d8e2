// The process's current directory and the system's Windows directory, behind an
// interface so the volume lock can be tested with a directory "on" any letter.
#pragma once

#include <cstddef>

namespace pdkos {

class ICurrentDirectory {
 public:
  virtual ~ICurrentDirectory() = default;
  // The current directory into buffer (size bytes with the terminator); false
  // when it does not fit or cannot be read.
  virtual bool get(char* buffer, size_t size) = 0;
  virtual bool set(const char* path) = 0;
  // The Windows directory into buffer; false when it does not fit. POSIX has no
  // such folder: the root "/" stands in, the one place a process can always move
  // to that lies on no removable volume.
  virtual bool windowsDirectory(char* buffer, size_t size) = 0;
};

// The operating system's own answers (one object per process).
ICurrentDirectory& platformCurrentDirectory();

}  // namespace pdkos
