// Times the sync engine on trees of 1k, 10k and 50k files (100 a folder):
// - the first synchronisation of a host tree to an empty drive folder (every
//   file a CreateOnDrive: engine, scan, run, write-back), against `cp -r` of
//   the same tree;
// - with a record per file, the scan with nothing changed, against the dry run
//   `rsync -a -n --delete` between the same two trees (when rsync is there),
//   and a whole cycle with nothing changed (engine, link, scan, run, write-back);
// - the first scan of a pair without records, every pair on both sides.
// The comparisons are whole processes, the engine's figures in process.
//
// Each figure is the best of --repeat runs (3 by default): on a shared machine
// the other runs measure the neighbours.
//
//   sync_bench [--keep] [--repeat N] [files...]     default sizes 1000 10000 50000
//
// --keep leaves the trees of the last size in place (for other tools to compare).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
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

// The host files and their relative names; the drive folder stays empty.
std::vector<std::string> buildHostTree(const BenchRoots& roots, int files) {
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
    if (i % kFilesPerFolder == 0) fs.makeFolder(roots.host + folder);
    std::string native = roots.nativeHost + name;
    for (char& c : native) {
      if (c == '\\' && roots.nativeHost.back() == '/') c = '/';
    }
    std::ofstream(native, std::ios::binary) << "content of file " << i << "\n";
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

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// The least of `repeat` measurements; a failed one (negative) makes it "none".
double best(int repeat, const std::function<double()>& measure) {
  double least = -1;
  for (int i = 0; i < repeat; ++i) {
    const double ms = measure();
    if (ms < 0) return -1;
    if (least < 0 || ms < least) least = ms;
  }
  return least;
}

// A figure, or "-" where there is none.
std::string figure(double value, const char* format) {
  if (value < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

struct Row {
  int files = 0;
  double firstSync = 0, copy = -1;         // ms
  double scan = 0, rsync = -1, cycle = 0;  // ms
  double firstScan = 0;                    // ms
};

}  // namespace

int main(int argc, char** argv) {
  bool keep = false;
  int repeat = 3;
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      sizes.push_back(std::atoi(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {1000, 10000, 50000};
  const bool rsync = HasShellProgram("rsync");

  const std::string base = (std::filesystem::temp_directory_path() / "tovik-sync-bench").string();
  std::vector<Row> rows;
  for (size_t s = 0; s < sizes.size(); ++s) {
    Row row;
    row.files = sizes[s];
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    std::filesystem::create_directories(base);
    const BenchRoots roots = MakeBenchRoots(base);
    if (!roots.outsideBase.empty()) std::filesystem::remove_all(roots.outsideBase, ec);
    const std::vector<std::string> names = buildHostTree(roots, row.files);

    // First synchronisation: the drive folder is empty, every file is created.
    // The last run leaves the drive tree for the figures below.
    row.firstSync = best(repeat, [&] {
      std::filesystem::remove_all(roots.nativeDrive, ec);
      std::filesystem::create_directories(roots.nativeDrive);
      writeDatabase(roots, names, false);
      const auto start = Clock::now();
      {
        CSyncEngine engine;
        engine.SetParams(paramsFor(roots));
        const int count = prepare(engine);
        if (count != row.files) std::printf("first synchronisation proposed %d actions\n", count);
        engine.Start(true);
      }
      return msSince(start);
    });
    const std::string copy = roots.nativeBase + "/cp-copy";
    row.copy = best(repeat, [&] {
      const double ms = TimeShellCommand("cp -r " + quoted(roots.nativeHost) + " " + quoted(copy));
      std::filesystem::remove_all(copy, ec);
      return ms;
    });

    // First scan: every pair exists on both sides and none has a record.
    writeDatabase(roots, names, false);
    row.firstScan = best(repeat, [&] {
      CSyncEngine engine;
      engine.SetParams(paramsFor(roots));
      const auto start = Clock::now();
      const int count = prepare(engine);
      const double ms = msSince(start);
      if (count != row.files) std::printf("first scan proposed %d actions\n", count);
      return ms;
    });

    writeDatabase(roots, names, true);
    row.scan = best(repeat, [&] {
      CSyncEngine engine;
      engine.SetParams(paramsFor(roots));
      SyncLinkRecord link;
      engine.GetLink(link);  // the database is loaded here, outside the timed scan
      const auto start = Clock::now();
      const int count = prepare(engine);
      const double ms = msSince(start);
      if (count != 0) std::printf("unchanged trees gave %d actions\n", count);
      return ms;
    });
    if (rsync) {
      row.rsync = best(repeat, [&] {
        return TimeShellCommand("rsync -a -n --delete " + quoted(roots.nativeHost) + " " +
                                quoted(roots.nativeDrive) + " >/dev/null");
      });
    }
    row.cycle = best(repeat, [&] {
      const auto start = Clock::now();
      {
        CSyncEngine engine;
        engine.SetParams(paramsFor(roots));
        SyncLinkRecord link;
        engine.GetLink(link);
        prepare(engine);
        engine.Start(true);
      }
      return msSince(start);
    });
    rows.push_back(row);
    if (!(keep && s + 1 == sizes.size())) {
      std::filesystem::remove_all(base, ec);
      if (!roots.outsideBase.empty()) std::filesystem::remove_all(roots.outsideBase, ec);
    } else {
      std::printf("trees kept: %s %s\n", roots.nativeHost.c_str(), roots.nativeDrive.c_str());
    }
  }

  std::printf("first synchronisation (every file created on the drive)\n");
  std::printf("%8s %12s %12s %12s %12s\n", "files", "sync ms", "sync us/file", "cp -r ms",
              "sync/cp");
  for (const Row& r : rows) {
    std::printf("%8d %12.1f %12.2f %12s %12s\n", r.files, r.firstSync,
                1000.0 * r.firstSync / r.files, figure(r.copy, "%.1f").c_str(),
                figure(r.copy > 0 ? r.firstSync / r.copy : -1, "%.2f").c_str());
  }
  std::printf("nothing changed (a record per file)\n");
  std::printf("%8s %12s %12s %12s %12s %12s %12s %14s\n", "files", "scan ms", "scan us/file",
              "rsync -n ms", "scan/rsync", "cycle ms", "cycle us/file", "first us/file");
  for (const Row& r : rows) {
    std::printf("%8d %12.1f %12.2f %12s %12s %12.1f %12.2f %14.2f\n", r.files, r.scan,
                1000.0 * r.scan / r.files, figure(r.rsync, "%.1f").c_str(),
                figure(r.rsync > 0 ? r.scan / r.rsync : -1, "%.2f").c_str(), r.cycle,
                1000.0 * r.cycle / r.files, 1000.0 * r.firstScan / r.files);
  }
  return 0;
}
