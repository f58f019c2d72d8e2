// The Windows file system behind the sync engine.
#include <io.h>
#include <shlwapi.h>
#include <windows.h>

#include "SyncFileSystem.h"

namespace tovik {

namespace {

SyncFileTime fileTimeOf(const FILETIME& t) { return {t.dwLowDateTime, t.dwHighDateTime}; }

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool close() {
    if (!valid()) return true;
    const BOOL ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE h_;
};

bool writeAll(HANDLE h, const uint8_t* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > 0x10000000 ? 0x10000000 : DWORD(size);
    DWORD written = 0;
    if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

class Win32SyncFileSystem : public ISyncFileSystem {
 public:
  bool pathExists(const std::string& path) override {
    return PathFileExistsA(path.c_str()) != FALSE;
  }
  bool access(const std::string& path) override { return _access(path.c_str(), 0) == 0; }

  ReadResult readFile(const std::string& path, std::vector<uint8_t>& data) override {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return ReadResult::kOpenFailed;
    // GetFileSize rather than GetFileSizeEx, which Windows 98 and ME lack.
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0) {
      return ReadResult::kReadFailed;
    }
    data.assign(size_t(low), 0);
    size_t done = 0;
    while (done < data.size()) {
      const size_t left = data.size() - done;
      const DWORD chunk = left > 0x10000000 ? 0x10000000 : DWORD(left);
      DWORD got = 0;
      if (!ReadFile(file.get(), data.data() + done, chunk, &got, nullptr) || got == 0) {
        return ReadResult::kReadFailed;
      }
      done += got;
    }
    return ReadResult::kOk;
  }

  CreateResult createFile(const std::string& path, const uint8_t* data, size_t size) override {
    Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return CreateResult::kCreateFailed;
    const bool written = writeAll(file.get(), data, size);
    return file.close() && written ? CreateResult::kOk : CreateResult::kWriteFailed;
  }

  bool replaceFile(const std::string& path, const uint8_t* data, size_t size) override {
    const std::string temp = path + ".new";
    {
      Handle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.valid()) return false;
      bool ok = writeAll(file.get(), data, size) && FlushFileBuffers(file.get());
      ok = file.close() && ok;
      if (!ok) {
        DeleteFileA(temp.c_str());
        return false;
      }
    }
    if (MoveFileExA(temp.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    // Windows 98 and ME have no MoveFileEx: the old file goes first, the new
    // one is complete beside it by then.
    if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED &&
        (DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) &&
        MoveFileA(temp.c_str(), path.c_str())) {
      return true;
    }
    DeleteFileA(temp.c_str());
    return false;
  }

  bool listFolder(const std::string& folder, std::vector<SyncFolderEntry>& entries) override {
    entries.clear();
    WIN32_FIND_DATAA data{};
    const HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
      SyncFolderEntry entry;
      entry.name = data.cFileName;
      entry.attributes = data.dwFileAttributes;
      entry.lastWrite = fileTimeOf(data.ftLastWriteTime);
      entries.push_back(std::move(entry));
    } while (FindNextFileA(find, &data));
    // A listing that breaks off (the drive pulled out) is no listing: what it
    // did not reach would pass for deleted.
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(find);
    return complete;
  }

  bool lastWriteTime(const std::string& path, SyncFileTime& time) override {
    WIN32_FIND_DATAA data{};
    const HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    time = fileTimeOf(data.ftLastWriteTime);
    return true;
  }

  uint32_t attributes(const std::string& path) override { return GetFileAttributesA(path.c_str()); }
  bool setAttributes(const std::string& path, uint32_t attributes) override {
    return SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }
  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
  }
  bool removeFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }
  bool makeFolder(const std::string& path) override {
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
  }
  bool removeFolder(const std::string& path) override {
    return RemoveDirectoryA(path.c_str()) != FALSE;
  }
};

}  // namespace

ISyncFileSystem& platformSyncFileSystem() {
  static Win32SyncFileSystem instance;
  return instance;
}

}  // namespace tovik
