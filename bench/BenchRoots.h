// Where the benchmark builds its trees, named as the engine names them, and
// the platform's own tools to compare with.
#pragma once

#include <string>

struct BenchRoots {
  std::string host;            // engine path of the host tree, ending with "\"
  std::string drive;           // engine path of the drive tree, ending with "\"
  std::string databaseFolder;  // engine path, ending with "\"
  char driveLetter = 0;
  std::string nativeBase;  // everything lives below this native folder
  std::string nativeHost;  // the trees as other programs see them
  std::string nativeDrive;
  std::string outsideBase;  // a folder of the trees outside the base, removed with it
};

// Sets up the roots below base (a native folder that exists).
BenchRoots MakeBenchRoots(const std::string& base);

// Milliseconds a shell command took, measured around the whole process; a
// negative value when the platform has no such shell or the command failed.
double TimeShellCommand(const std::string& command);
// Whether the shell finds the program.
bool HasShellProgram(const std::string& program);
