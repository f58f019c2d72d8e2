// Natively the host tree is drive C: and the drive tree drive E:, both mapped
// to folders below the base.
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
