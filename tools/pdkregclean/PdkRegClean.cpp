// pdkregclean: shows what the registry holds for the maker's drives, checks it
// against the expected strings, and on request removes a drive's registration
// so that Windows 2000 or XP registers the drive afresh.
//
//   pdkregclean [/report [serial]]
//   pdkregclean /clean serial|ALL [/delete] [/yes]
//
// Cleaning is a dry run unless /delete is given; /delete still shows the dry
// run first and asks before anything is deleted, unless /yes answers for the user.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "regcleaner/PDKRegFactory.h"
#include "regcleaner/PDKRegObject.h"

namespace {

enum ExitCode {
  kExitOk = 0,
  kExitUsage = 1,
  kExitFailed = 2,
  kExitRefused = 3,
  kExitCancelled = 4
};

class PrintingSink : public IPDKRegLogSink {
 public:
  void logText(int /*level*/, const char* text) override { std::printf("%s\n", text); }
};

bool isOption(const char* argument, const char* option) {
  return argument[0] == '/' || argument[0] == '-' ? _stricmp(argument + 1, option) == 0 : false;
}

void usage() {
  std::printf(
      "Usage: pdkregclean [/report [serial]]\n"
      "       pdkregclean /clean serial|ALL [/delete] [/yes]\n"
      "Without /delete cleaning only lists what it would delete.\n");
}

int report(const char* serial) {
  PrintingSink sink;
  std::unique_ptr<IPDKRegInfo> info = CPDKRegFactory::instance().createRegInfo();
  std::vector<RegInfoContainer> drives;
  std::string text;
  int code = 0;
  if (serial != nullptr) {
    drives.emplace_back();
    code = info->readInfo(serial, drives.back(), text);
  } else {
    code = info->collect(drives, text);
  }
  if (drives.empty()) {
    std::printf("No drive of the maker is registered.\n");
    return kExitOk;
  }
  std::fputs(text.c_str(), stdout);
  info->attachLogSink(&sink);
  bool allMatch = true;
  for (const RegInfoContainer& drive : drives) {
    std::printf("[Checking Serial Number %s]\n", drive.serialNumber());
    if (info->checkStrings(drive, nullptr, drive.vendor())) {
      std::printf("All registry strings are as expected.\n");
    } else {
      allMatch = false;
    }
  }
  return code == 0 && allMatch ? kExitOk : kExitFailed;
}

int runClean(IPDKRegCleaner& cleaner, const char* target) {
  if (_stricmp(target, "ALL") != 0) return cleaner.cleanSerial(target);
  const int cleaned = cleaner.cleanAll();
  const int swept = cleaner.sweepOrphans();
  return swept != 0 ? swept : cleaned;
}

int clean(const char* target, bool doDelete, bool confirmed) {
  if (CPDKRegObject::systemMode() == 255) {
    std::printf("Cleaning the registry is possible only on Windows 2000 and XP.\n");
    return kExitRefused;
  }
  PrintingSink sink;
  std::unique_ptr<IPDKRegCleaner> cleaner = CPDKRegFactory::instance().createRegCleaner();
  cleaner->attachLogSink(&sink);
  cleaner->setDryRun(true);
  std::printf("Dry run: nothing is deleted.\n");
  if (runClean(*cleaner, target) != 0 && !doDelete) return kExitFailed;
  if (!doDelete) {
    std::printf("Run again with /delete to delete these entries.\n");
    return kExitOk;
  }
  if (!confirmed) {
    std::printf("Delete the registry entries listed above? (y/n) ");
    std::fflush(stdout);
    char answer[16] = {};
    if (std::fgets(answer, sizeof(answer), stdin) == nullptr ||
        (answer[0] != 'y' && answer[0] != 'Y')) {
      std::printf("Nothing was deleted.\n");
      return kExitCancelled;
    }
  }
  cleaner->setDryRun(false);
  const int code = runClean(*cleaner, target);
  if (code != 0) {
    std::printf("Cleaning failed with code %d.\n", code);
    return kExitFailed;
  }
  std::printf("Cleaned.\n");
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return report(nullptr);
  if (isOption(argv[1], "report") && argc <= 3) return report(argc == 3 ? argv[2] : nullptr);
  if (isOption(argv[1], "clean") && argc >= 3) {
    bool doDelete = false;
    bool confirmed = false;
    for (int i = 3; i < argc; ++i) {
      if (isOption(argv[i], "delete")) {
        doDelete = true;
      } else if (isOption(argv[i], "yes")) {
        confirmed = true;
      } else {
        usage();
        return kExitUsage;
      }
    }
    return clean(argv[2], doDelete, confirmed);
  }
  usage();
  return kExitUsage;
}
