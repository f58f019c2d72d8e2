// Natively the host tree is drive C: and the drive tree drive E:, both mapped
// to folders below the base.
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "BenchRoots.h"
#include "PosixDrives.h"

BenchRoots MakeBenchRoots(const std::string& base) {
  tovik::MapPosixDrive('C', base + "/c");
  tovik::MapPosixDrive('E', base + "/e");
  std::filesystem::create_directories(base + "/c");
  std::filesystem::create_directories(base + "/e");
  BenchRoots r;
  r.host = "C:\\host\\";
  r.drive = "E:\\Work\\";
  r.databaseFolder = "C:\\db\\";
  r.driveLetter = 'E';
  r.nativeBase = base;
  r.nativeHost = base + "/c/host/";
  r.nativeDrive = base + "/e/Work/";
  return r;
}

double TimeShellCommand(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const auto end = std::chrono::steady_clock::now();
  if (status != 0) return -1;
  return std::chrono::duration<double, std::milli>(end - start).count();
}

bool HasShellProgram(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}
