// Times the sync engine on trees of 1k, 10k and 50k files whose database holds
// a record per file: the scan with nothing changed, a whole synchronisation
// cycle with nothing changed (engine, link, scan, run, write-back), and the
// first scan of a pair without records. Prints the time per file.
//
//   sync_bench [--keep] [files...]     default sizes 1000 10000 50000
//
// --keep leaves the trees of the last size in place (for other tools to compare).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchRoots.h"
#include "SyncDB.h"
#include "SyncEngine.h"
#include "SyncText.h"

using namespace tovik;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFilesPerFolder = 100;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

SyncParams paramsFor(const BenchRoots& roots) {
  SyncParams p;
  std::memset(&p, 0, sizeof(p));
  std::strcpy(p.name, "Bench");
  std::strncpy(p.databaseFolder, roots.databaseFolder.c_str(), sizeof(p.databaseFolder) - 1);
  p.driveLetters[0] = roots.driveLetter;
  return p;
}

// Host files, their copies on the drive, and the relative names.
std::vector<std::string> buildTrees(const BenchRoots& roots, int files) {
  ISyncFileSystem& fs = platformSyncFileSystem();
  std::vector<std::string> names;
  for (const std::string* side : {&roots.host, &roots.drive, &roots.databaseFolder}) {
    std::string partial;
    for (char c : *side) {
      partial += c;
      if (c == '\\' && partial.size() > 3) fs.makeFolder(partial);
    }
  }
  for (int i = 0; i < files; ++i) {
    char folder[32];
    char name[64];
    std::snprintf(folder, sizeof(folder), "d%04d", i / kFilesPerFolder);
    std::snprintf(name, sizeof(name), "%s\\file%06d.txt", folder, i);
    if (i % kFilesPerFolder == 0) {
      fs.makeFolder(roots.host + folder);
      fs.makeFolder(roots.drive + folder);
    }
    std::string native = roots.nativeHost + name;
    for (char& c : native) {
      if (c == '\\' && roots.nativeHost.back() == '/') c = '/';
    }
    std::ofstream(native, std::ios::binary) << "content of file " << i << "\n";
    fs.copyFile(roots.host + name, roots.drive + name, false);
    names.push_back(name);
  }
  return names;
}

// A link and one record per pair, as a finished synchronisation leaves them.
void writeDatabase(const BenchRoots& roots, const std::vector<std::string>& names, bool records) {
  {
    // Gone before the records are added: its write-back would replace them.
    CSyncEngine engine;
    engine.SetParams(paramsFor(roots));
    engine.SetLink(roots.host, roots.drive);
  }
  if (!records) return;
  auto db = sync::Open(roots.databaseFolder, "Bench", true);
  ISyncFileSystem& fs = platformSyncFileSystem();
  for (const std::string& name : names) {
    SyncFileRecord r;
    PathToField(roots.host + name, r.hostPath, kSyncPathUnits);
    PathToField(roots.drive + name, r.drivePath, kSyncPathUnits);
    fs.lastWriteTime(roots.host + name, r.time);
    db->AddEntry(r);
  }
}

int prepare(CSyncEngine& engine) {
  CSyncAction* const* actions = nullptr;
  int count = 0;
  engine.Prepare(actions, count);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  bool keep = false;
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else {
      sizes.push_back(std::atoi(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {1000, 10000, 50000};

  const std::string base = (std::filesystem::temp_directory_path() / "tovik-sync-bench").string();
  std::printf("%8s %14s %14s %14s %14s %14s\n", "files", "scan ms", "scan us/file", "cycle ms",
              "cycle us/file", "first us/file");
  for (size_t s = 0; s < sizes.size(); ++s) {
    const int files = sizes[s];
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    std::filesystem::create_directories(base);
    const BenchRoots roots = MakeBenchRoots(base);
    if (!roots.outsideBase.empty()) std::filesystem::remove_all(roots.outsideBase, ec);
    const std::vector<std::string> names = buildTrees(roots, files);

    // First scan: every pair exists on both sides and none has a record.
    writeDatabase(roots, names, false);
    double first = 0;
    {
      CSyncEngine engine;
      engine.SetParams(paramsFor(roots));
      const auto start = Clock::now();
      const int count = prepare(engine);
      first = msSince(start);
      if (count != files) std::printf("first scan proposed %d actions\n", count);
    }

    writeDatabase(roots, names, true);
    double scan = 0;
    {
      CSyncEngine engine;
      engine.SetParams(paramsFor(roots));
      SyncLinkRecord link;
      engine.GetLink(link);  // the database is loaded here, outside the timed scan
      const auto start = Clock::now();
      const int count = prepare(engine);
      scan = msSince(start);
      if (count != 0) std::printf("unchanged trees gave %d actions\n", count);
    }
    const auto cycleStart = Clock::now();
    {
      CSyncEngine engine;
      engine.SetParams(paramsFor(roots));
      SyncLinkRecord link;
      engine.GetLink(link);
      prepare(engine);
      engine.Start(true);
    }
    const double cycle = msSince(cycleStart);
    std::printf("%8d %14.1f %14.2f %14.1f %14.2f %14.2f\n", files, scan, 1000.0 * scan / files,
                cycle, 1000.0 * cycle / files, 1000.0 * first / files);
    std::fflush(stdout);
    if (!(keep && s + 1 == sizes.size())) {
      std::filesystem::remove_all(base, ec);
      if (!roots.outsideBase.empty()) std::filesystem::remove_all(roots.outsideBase, ec);
    } else {
      std::printf("trees kept: %s %s\n", roots.nativeHost.c_str(), roots.nativeDrive.c_str());
    }
  }
  return 0;
}
