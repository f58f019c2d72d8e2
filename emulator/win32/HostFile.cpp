#include "HostFile.h"

#include <windows.h>

namespace emu::hostfile {

namespace {

// Opens an existing file; the caller closes the handle.
HANDLE openExisting(const std::string& path, DWORD access) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

Kind kindOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Kind::kMissing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::kOther : Kind::kRegular;
}

bool sizeOf(const std::string& path, uint64_t& bytes) {
  const HANDLE file = openExisting(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return false;
  // GetFileSize rather than GetFileSizeEx, which Windows 98 lacks.
  DWORD high = 0;
  const DWORD low = GetFileSize(file, &high);
  const bool ok = low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
  CloseHandle(file);
  if (ok) bytes = (static_cast<uint64_t>(high) << 32) | low;
  return ok;
}

bool resize(const std::string& path, uint64_t bytes) {
  const HANDLE file = openExisting(path, GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE) return false;
  // SetFilePointer with its high part rather than SetFilePointerEx (2000 and later).
  LONG high = static_cast<LONG>(bytes >> 32);
  const DWORD low = SetFilePointer(file, static_cast<LONG>(bytes & 0xFFFFFFFFu), &high, FILE_BEGIN);
  const bool moved = low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
  const bool ok = moved && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

bool replace(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  // Windows 98 SE and ME have MoveFileExA only as a stub.
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
  if (GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileA(to.c_str()))
    return false;
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool remove(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

}  // namespace emu::hostfile
