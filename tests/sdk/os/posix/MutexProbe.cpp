// Helper process for the cross-process mutex tests.
//   pdkos_mutex_probe <name> wait   prints "trying", takes the mutex, prints
//                                   "locked", releases it and exits 0
//   pdkos_mutex_probe <name> hold   takes the mutex, prints "locked" and exits
//                                   at once still owning it, as a crash would
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "PDKMutex.h"

namespace {
void say(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const bool hold = std::strcmp(argv[2], "hold") == 0;
  CPDKMutex mutex;
  if (mutex.create(argv[1], false) != 0) return 3;
  if (!hold) say("trying\n");
  if (mutex.lock() != 0) return 4;
  say("locked\n");
  if (hold) _exit(0);
  return mutex.unlock() == 0 ? 0 : 5;
}
