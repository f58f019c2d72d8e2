// The sync engine's and the database's way to the file system. Paths are the
// engine's: drive letter, colon and backslashes, in the ANSI code page.
// The POSIX implementation maps drive letters to folders (PosixDrives.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SyncRecords.h"

namespace tovik {

// Windows file attribute bits, the engine's vocabulary on every platform.
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrHidden = 0x2;
constexpr uint32_t kAttrSystem = 0x4;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrInvalid = 0xFFFFFFFF;

struct SyncFolderEntry {
  std::string name;
  uint32_t attributes = 0;
  SyncFileTime lastWrite;
};

class ISyncFileSystem {
 public:
  enum class ReadResult { kOk, kOpenFailed, kReadFailed };
  enum class CreateResult { kOk, kCreateFailed, kWriteFailed };

  virtual ~ISyncFileSystem() = default;

  virtual bool pathExists(const std::string& path) = 0;  // PathFileExistsA
  virtual bool access(const std::string& path) = 0;      // _access(path, 0) == 0

  // Opens an existing file for reading and writing and reads all of it.
  virtual ReadResult readFile(const std::string& path, std::vector<uint8_t>& data) = 0;
  // Creates (truncates) the file and writes the bytes.
  virtual CreateResult createFile(const std::string& path, const uint8_t* data, size_t size) = 0;
  // Replaces the file's content as one step: written beside it and renamed over
  // it, so a failure at any point leaves the old file as it was.
  virtual bool replaceFile(const std::string& path, const uint8_t* data, size_t size) = 0;

  // Every entry of folder + "*.*" in the order the file system gives them,
  // "." and ".." included where the platform lists them; false when the folder
  // cannot be listed.
  virtual bool listFolder(const std::string& folder, std::vector<SyncFolderEntry>& entries) = 0;
  virtual bool lastWriteTime(const std::string& path, SyncFileTime& time) = 0;  // FindFirstFileA

  virtual uint32_t attributes(const std::string& path) = 0;  // kAttrInvalid on failure
  virtual bool setAttributes(const std::string& path, uint32_t attributes) = 0;
  // CopyFileA: with failIfExists a file at `to` is left alone and the copy fails.
  virtual bool copyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
  virtual bool removeFile(const std::string& path) = 0;
  virtual bool makeFolder(const std::string& path) = 0;  // one level
  virtual bool removeFolder(const std::string& path) = 0;
};

// The operating system's own file system (one object per process).
ISyncFileSystem& platformSyncFileSystem();

}  // namespace tovik
