// Runs a shell command for the independent checkers (openssl, fsck.fat, mtools).
#pragma once

#include <cstdio>
#include <string>

// True when the command ran and ended with status 0; its output (standard
// output and standard error) is appended to *output.
inline bool runCommand(const std::string& command, std::string* output) {
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return false;
  char chunk[256];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output->append(chunk, n);
  return pclose(pipe) == 0;
}
