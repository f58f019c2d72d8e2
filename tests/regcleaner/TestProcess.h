// A real process of the test's Wine prefix, with its output and exit code.
#pragma once

#include <string>

struct ProcessResult {
  bool started = false;
  unsigned long exitCode = 0;
  std::string output;
};

// Runs commandLine with `input` on its standard input, in directory (the
// test's current directory when empty), and waits for it to end.
ProcessResult runProcess(const std::string& commandLine, const std::string& input = "",
                         const std::string& directory = "");

// The folder of the running test program, with a trailing backslash.
std::string programFolder();
