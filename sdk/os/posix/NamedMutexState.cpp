#include "NamedMutexState.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "OSErrors.h"

namespace pdkos::posix {

namespace {

constexpr size_t kMaxReadablePart = 64;  // keeps the file name well below NAME_MAX

int flockRetrying(int fd, int operation) {
  int result;
  do {
    result = flock(fd, operation);
  } while (result == -1 && errno == EINTR);
  return result;
}

}  // namespace

std::string CNamedMutexState::lockFilePath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  path += "/pdkmutex-";
  for (size_t i = 0; i < name.size() && i < kMaxReadablePart; ++i) {
    const char c = name[i];
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-' || c == '.';
    path += safe ? c : '_';
  }
  // The readable part alone would let different names share a file.
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : name) {
    hash = (hash ^ c) * 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  path += '-';
  path += hex;
  path += ".lock";
  return path;
}

std::shared_ptr<CNamedMutexState> CNamedMutexState::open(const std::string& name) {
  int fd = -1;
  if (!name.empty()) {
    const std::string path = lockFilePath(name);
    // Close-on-exec: a child must not inherit, and so share, our flock.
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // Another user's file may be read-only to us; flock() works on it all the same.
    if (fd == -1 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1) return nullptr;
  }
  return std::make_shared<CNamedMutexState>(fd);
}

CNamedMutexState::CNamedMutexState(int fd) : fd_(fd) {}

CNamedMutexState::~CNamedMutexState() {
  if (fd_ != -1) ::close(fd_);  // also drops an flock still held
}

int CNamedMutexState::lock() {
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> guard(mutex_);
  if (count_ > 0 && owner_ == self) {
    ++count_;
    return 0;
  }
  freed_.wait(guard, [this] { return count_ == 0; });
  // Claimed inside the process before the file is locked, so the other
  // threads here wait on freed_ rather than all queueing on the file.
  owner_ = self;
  count_ = 1;
  if (fd_ == -1) return 0;
  guard.unlock();
  if (flockRetrying(fd_, LOCK_EX) == 0) return 0;
  const int error = errno;
  guard.lock();
  owner_ = std::thread::id();
  count_ = 0;
  guard.unlock();
  freed_.notify_one();
  errno = error;
  return -1;
}

bool CNamedMutexState::tryLock() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (count_ > 0) return false;
  if (fd_ != -1 && flockRetrying(fd_, LOCK_EX | LOCK_NB) != 0) return false;
  owner_ = std::this_thread::get_id();
  count_ = 1;
  return true;
}

int CNamedMutexState::unlock() {
  std::unique_lock<std::mutex> guard(mutex_);
  if (count_ == 0 || owner_ != std::this_thread::get_id()) {
    errno = kErrorNotOwner;
    return -1;
  }
  if (--count_ > 0) return 0;
  // Unlock the file before giving up ownership: the next owner in this process
  // locks through the same descriptor, and our unlock must not undo its lock.
  if (fd_ != -1) flockRetrying(fd_, LOCK_UN);
  owner_ = std::thread::id();
  guard.unlock();
  freed_.notify_one();
  return 0;
}

}  // namespace pdkos::posix
