// The native file system behind the sync engine.
//
// Attributes have no POSIX counterpart, so they are mapped:
//   read-only  <-> the owner has no write permission
//   hidden     <-> the name begins with '.' (read only: a name is never changed)
//   system     <-> the sticky bit (S_ISVTX), which Linux ignores on files
//   directory  <-> a directory
//   normal     <-> none of the above
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <mutex>

#include "PosixDrives.h"
#include "SyncFileSystem.h"

namespace tovik {

namespace {

std::mutex gDrivesLock;
std::array<std::string, 26> gDrives;

// Seconds between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochGap = 11644473600ull;

SyncFileTime fileTimeOf(const struct timespec& t) {
  const uint64_t v = (uint64_t(t.tv_sec) + kEpochGap) * 10000000ull + uint64_t(t.tv_nsec) / 100;
  return SyncFileTime::from(v);
}

std::string baseName(const std::string& nativePath) {
  const size_t slash = nativePath.find_last_of('/');
  return slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
}

uint32_t attributesOf(const struct stat& st, const std::string& name) {
  uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
  if ((st.st_mode & S_IWUSR) == 0) a |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.') a |= kAttrHidden;
  if ((st.st_mode & S_ISVTX) != 0) a |= kAttrSystem;
  return a == 0 ? kAttrNormal : a;
}

// Writes all bytes to an open descriptor.
bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

class PosixSyncFileSystem : public ISyncFileSystem {
 public:
  bool pathExists(const std::string& path) override {
    return ::access(PosixPath(path).c_str(), F_OK) == 0;
  }
  bool access(const std::string& path) override {
    return ::access(PosixPath(path).c_str(), F_OK) == 0;
  }

  ReadResult readFile(const std::string& path, std::vector<uint8_t>& data) override {
    const int fd = ::open(PosixPath(path).c_str(), O_RDWR);
    if (fd < 0) return ReadResult::kOpenFailed;
    struct stat st {};
    ReadResult result = ReadResult::kReadFailed;
    if (::fstat(fd, &st) == 0) {
      data.assign(size_t(st.st_size), 0);
      size_t done = 0;
      while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
      }
      if (done == data.size()) result = ReadResult::kOk;
    }
    ::close(fd);
    return result;
  }

  CreateResult createFile(const std::string& path, const uint8_t* data, size_t size) override {
    const int fd = ::open(PosixPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return CreateResult::kCreateFailed;
    const bool written = writeAll(fd, data, size);
    const bool closed = ::close(fd) == 0;
    return written && closed ? CreateResult::kOk : CreateResult::kWriteFailed;
  }

  bool replaceFile(const std::string& path, const uint8_t* data, size_t size) override {
    const std::string target = PosixPath(path);
    const std::string temp = target + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, data, size) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
  }

  bool listFolder(const std::string& folder, std::vector<SyncFolderEntry>& entries) override {
    entries.clear();
    std::string native = PosixPath(folder);
    if (native.empty() || native.back() != '/') native += '/';
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) return false;
    // Entries are looked at relative to the open folder: no path to resolve
    // again for each of them.
    const int at = ::dirfd(dir);
    for (;;) {
      errno = 0;
      const struct dirent* e = ::readdir(dir);
      if (e == nullptr) break;
      SyncFolderEntry entry;
      entry.name = e->d_name;
      struct stat st {};
      if (::fstatat(at, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      // A link is taken for what it points to, but a linked folder is not
      // entered: a link back up the tree would never end.
      if (S_ISLNK(st.st_mode)) {
        if (::fstatat(at, e->d_name, &st, 0) != 0 || S_ISDIR(st.st_mode)) continue;
      }
      entry.attributes = attributesOf(st, entry.name);
      entry.lastWrite = fileTimeOf(st.st_mtim);
      entries.push_back(std::move(entry));
    }
    // A listing that breaks off is no listing: what it did not reach would
    // pass for deleted.
    const bool complete = errno == 0;
    ::closedir(dir);
    return complete;
  }

  bool lastWriteTime(const std::string& path, SyncFileTime& time) override {
    struct stat st {};
    if (::stat(PosixPath(path).c_str(), &st) != 0) return false;
    time = fileTimeOf(st.st_mtim);
    return true;
  }

  uint32_t attributes(const std::string& path) override {
    const std::string native = PosixPath(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return kAttrInvalid;
    return attributesOf(st, baseName(native));
  }

  bool setAttributes(const std::string& path, uint32_t attributes) override {
    const std::string native = PosixPath(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    if ((attributes & kAttrReadOnly) != 0) {
      mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
      mode |= S_IWUSR;
    }
    if ((attributes & kAttrSystem) != 0) {
      mode |= S_ISVTX;
    } else {
      mode &= ~mode_t(S_ISVTX);
    }
    return ::chmod(native.c_str(), mode) == 0;
  }

  // Content, permission bits and last-write time, as CopyFileA keeps them.
  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    const std::string source = PosixPath(from);
    const std::string target = PosixPath(to);
    const int in = ::open(source.c_str(), O_RDONLY);
    if (in < 0) return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(in);
      return false;
    }
    // O_EXCL decides in the same step that creates the file: a file another
    // program puts there after any check of ours still is not overwritten.
    const int out =
        ::open(target.c_str(), O_WRONLY | O_CREAT | (failIfExists ? O_EXCL : O_TRUNC), 0644);
    if (out < 0) {
      ::close(in);
      return false;
    }
    bool ok = true;
    std::vector<uint8_t> buffer(1 << 16);
    for (;;) {
      const ssize_t n = ::read(in, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      if (!writeAll(out, buffer.data(), size_t(n))) {
        ok = false;
        break;
      }
    }
    ::close(in);
    if (ok) ok = ::fchmod(out, st.st_mode & 07777) == 0;
    if (ok) {
      const struct timespec times[2] = {st.st_atim, st.st_mtim};
      ok = ::futimens(out, times) == 0;
    }
    ok = (::close(out) == 0) && ok;
    // A half-made new file would pass for the pair's other half at the next scan.
    if (!ok && failIfExists) ::unlink(target.c_str());
    return ok;
  }

  bool removeFile(const std::string& path) override {
    const std::string native = PosixPath(path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(native.c_str()) == 0;
  }

  bool makeFolder(const std::string& path) override {
    return ::mkdir(PosixPath(path).c_str(), 0755) == 0;
  }

  bool removeFolder(const std::string& path) override {
    return ::rmdir(PosixPath(path).c_str()) == 0;
  }
};

}  // namespace

void MapPosixDrive(char letter, const std::string& root) {
  const int c = std::toupper(static_cast<unsigned char>(letter));
  if (c < 'A' || c > 'Z') return;
  std::lock_guard<std::mutex> lock(gDrivesLock);
  gDrives[size_t(c - 'A')] = root;
}

std::string PosixPath(const std::string& enginePath) {
  std::string native;
  size_t rest = 0;
  if (enginePath.size() >= 2 && enginePath[1] == ':') {
    const int c = std::toupper(static_cast<unsigned char>(enginePath[0]));
    if (c >= 'A' && c <= 'Z') {
      std::lock_guard<std::mutex> lock(gDrivesLock);
      if (!gDrives[size_t(c - 'A')].empty()) {
        native = gDrives[size_t(c - 'A')];
        rest = 2;
      }
    }
  }
  native.reserve(native.size() + enginePath.size());
  for (size_t i = rest; i < enginePath.size(); ++i) {
    native += enginePath[i] == '\\' ? '/' : enginePath[i];
  }
  return native;
}

ISyncFileSystem& platformSyncFileSystem() {
  static PosixSyncFileSystem instance;
  return instance;
}

}  // namespace tovik
