// On Windows the base is a folder on the host's drive; the drive tree goes to
// the drive named by TOVIK_BENCH_DRIVE (a letter), by default Z:, which under
// Wine is the Unix root. The comparisons with cp and rsync are made natively.
#include <cstdlib>

#include "BenchRoots.h"

BenchRoots MakeBenchRoots(const std::string& base) {
  const char* letter = std::getenv("TOVIK_BENCH_DRIVE");
  BenchRoots r;
  r.driveLetter = letter != nullptr && letter[0] != '\0' ? letter[0] : 'Z';
  r.host = base + "\\host\\";
  r.databaseFolder = base + "\\db\\";
  r.drive = std::string(1, r.driveLetter) + ":\\tmp\\tovik-bench-drive\\Work\\";
  r.nativeBase = base;
  r.nativeHost = r.host;
  r.nativeDrive = r.drive;
  r.outsideBase = std::string(1, r.driveLetter) + ":\\tmp\\tovik-bench-drive";
  return r;
}

double TimeShellCommand(const std::string&) { return -1; }

bool HasShellProgram(const std::string&) { return false; }
