#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace pdkos::posix {

// One named mutex of this process. Threads take turns through the owner and
// count kept here (recursive per thread, like a Windows mutex); while a thread
// owns it the process also holds an flock() on the name's lock file, which
// keeps other processes out. A process that dies releases its flock, so its
// mutex becomes free as an abandoned Windows mutex does.
class CNamedMutexState {
 public:
  // Opens the lock file of the name; an empty name makes a mutex private to
  // the process. Null with errno set when the file cannot be opened.
  static std::shared_ptr<CNamedMutexState> open(const std::string& name);
  // Where the lock file of a name lives: in $TMPDIR (or /tmp), under a file
  // name made of the safe characters of the name plus a hash of all of it.
  static std::string lockFilePath(const std::string& name);

  explicit CNamedMutexState(int fd);  // takes the descriptor; -1 for none
  ~CNamedMutexState();

  CNamedMutexState(const CNamedMutexState&) = delete;
  CNamedMutexState& operator=(const CNamedMutexState&) = delete;

  int lock();  // 0, or -1 with errno
  // Takes ownership only if nobody in or outside the process holds the mutex.
  bool tryLock();
  int unlock();  // 0, or -1 with errno = kErrorNotOwner

 private:
  const int fd_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::thread::id owner_;
  unsigned count_ = 0;
};

}  // namespace pdkos::posix
