// The named mutex keeps other processes out, and a process that dies owning
// it lets it go.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "PDKMutex.h"
#include "sdk/os/LockProbe.h"
#include "sdk/os/TestNames.h"

extern char** environ;

namespace {

// The probe program with its standard output on a pipe.
class CProbeProcess {
 public:
  CProbeProcess(const std::string& name, const char* mode) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const char* argv[] = {PDKOS_MUTEX_PROBE, name.c_str(), mode, nullptr};
    if (posix_spawn(&pid_, PDKOS_MUTEX_PROBE, &actions, nullptr, const_cast<char**>(argv),
                    environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
  }

  ~CProbeProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ != -1) close(out_);
  }

  bool started() const { return pid_ > 0; }

  // The next line of output without its newline; empty when none came in time.
  std::string readLine() {
    std::string line;
    char c;
    while (hasOutputWithin(10000) && read(out_, &c, 1) == 1) {
      if (c == '\n') return line;
      line += c;
    }
    return {};
  }

  bool hasOutputWithin(int ms) {
    pollfd p{out_, POLLIN, 0};
    return poll(&p, 1, ms) == 1;
  }

  bool stillRunning() { return !exited_ && waitpid(pid_, &status_, WNOHANG) == 0; }

  // Exit code, or -1 when it did not exit normally.
  int exitCode() {
    if (!exited_) {
      waitpid(pid_, &status_, 0);
      exited_ = true;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = 0;
  bool exited_ = false;
};

TEST(NamedMutexProcessTest, AnotherProcessWaitsForTheOwner) {
  const std::string name = uniqueName("process");
  CPDKMutex mutex;
  ASSERT_EQ(mutex.create(name.c_str(), false), 0);
  ASSERT_EQ(mutex.lock(), 0);
  CProbeProcess child(name, "wait");
  ASSERT_TRUE(child.started());
  ASSERT_EQ(child.readLine(), "trying");
  std::this_thread::sleep_for(kShutOutWindow * 2);
  EXPECT_FALSE(child.hasOutputWithin(0)) << "the other process got in while we owned the mutex";
  EXPECT_TRUE(child.stillRunning());
  EXPECT_EQ(mutex.unlock(), 0);
  EXPECT_EQ(child.readLine(), "locked");
  EXPECT_EQ(child.exitCode(), 0);
}

TEST(NamedMutexProcessTest, DeadOwnerLetsGo) {
  const std::string name = uniqueName("abandoned");
  CProbeProcess child(name, "hold");
  ASSERT_TRUE(child.started());
  ASSERT_EQ(child.readLine(), "locked");
  ASSERT_EQ(child.exitCode(), 0);
  CPDKMutex mutex;
  ASSERT_EQ(mutex.create(name.c_str(), false), 0);
  CLockProbe ours([&mutex] { return mutex.lock(); }, [&mutex] { return mutex.unlock(); });
  EXPECT_TRUE(ours.acquiredWithin(kAcquireLimit));
}

}  // namespace
