// Keeps a test run's Wine prefix busy with no output of its own. The first
// program of a prefix starts Wine's system processes (services, devices, the
// desktop), and they inherit that program's output: a test runner waiting for
// the end of a test's output then waits for them for as long as any other
// test keeps the prefix alive. Started first, with its output going nowhere,
// this program becomes their parent instead. It writes the file named by its
// argument once the desktop is there and ends by itself after some hours;
// `wineserver -k` ends it at the end of the run.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  GetDesktopWindow();
  if (commandLine != nullptr && *commandLine != '\0') {
    if (std::FILE* ready = std::fopen(commandLine, "w")) std::fclose(ready);
  }
  const DWORD kLifetimeMs = 4 * 60 * 60 * 1000;
  Sleep(kLifetimeMs);
  return 0;
}
