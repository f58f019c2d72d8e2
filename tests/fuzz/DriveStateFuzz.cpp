// Fuzz target of the emulator's state file: whatever a file holds, loading it
// either throws std::runtime_error or gives a drive state that saves to a file
// which loads back to the very same state and saves to the very same bytes.
// The input is the file's body; the harness seals it with the closing line
// (its checksum computed by zlib, independently of the loader), except for
// inputs beginning with '!', which are taken as the whole file. Built with
// libFuzzer the entry point is driven by the fuzzer; built without it, main()
// feeds a fixed pseudo-random corpus of mutated state files.
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "DriveStateFile.h"
#include "HiddenArea.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "drive_state_fuzz: %s\n", what);
  std::abort();
}

std::string scratch(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/drive_state_fuzz." +
         std::to_string(getpid()) + "." + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) fail("cannot write the scratch file");
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string sealed(const std::string& body) {
  char end[32];
  const uLong crc =
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
  std::snprintf(end, sizeof end, "end=%08lx\n", crc);
  return body + end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = scratch("in"), first = scratch("first"),
                           second = scratch("second");
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  writeFile(input, !bytes.empty() && bytes[0] == '!' ? bytes.substr(1) : sealed(bytes));
  emu::SavedDrive loaded;
  try {
    loaded = emu::CDriveStateFile::load(input);
  } catch (const std::runtime_error&) {
    return 0;
  }
  if (loaded.state.hiddenArea.size() != emu::CHiddenArea::kPageCount * emu::CHiddenArea::kPageSize)
    fail("hidden area of the wrong size");
  try {
    emu::CDriveStateFile::save(first, loaded);
  } catch (const std::runtime_error&) {
    // Only texts with line breaks are refused, and a loaded line holds none.
    fail("a loaded state does not save");
  }
  const std::string saved = readFile(first);
  emu::SavedDrive again;
  try {
    again = emu::CDriveStateFile::load(first);
  } catch (const std::runtime_error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    fail("a saved state does not load");
  }
  emu::CDriveStateFile::save(second, again);
  if (readFile(second) != saved) fail("save, load and save again changed the file");
  if (again.state.hiddenArea != loaded.state.hiddenArea ||
      again.state.configBlock != loaded.state.configBlock ||
      again.config.serial != loaded.config.serial || again.imagePath != loaded.imagePath)
    fail("the state changed on its way through the file");
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

// The body of a state file as the emulator saves it.
std::string seedBody(std::mt19937& random) {
  emu::SavedDrive d;
  d.config.serial = "0F3B2700" + std::to_string(1000 + random() % 9000);
  d.config.removable = random() % 2 == 0;
  d.config.sectorCount = 4096 + random() % 100000;
  d.imagePath = "/tmp/drive" + std::to_string(random() % 10) + ".img";
  d.state.hiddenArea.assign(emu::CHiddenArea::kPageCount * emu::CHiddenArea::kPageSize, 0);
  for (int i = 0; i < 40; ++i)
    d.state.hiddenArea[random() % d.state.hiddenArea.size()] = uint8_t(random());
  d.state.configBlock[8] = uint8_t(random() % 4);
  d.state.safeUnits = random() % 100;
  d.state.lunMode = random() % 3;
  const std::string path = scratch("seed");
  emu::CDriveStateFile::save(path, d);
  std::string text = readFile(path);
  std::remove(path.c_str());
  return text.substr(0, text.rfind("end="));
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 300);
  std::mt19937 random(20261210);
  const char picks[] = {'0', '1', '9', 'a', 'f', 'g', '=', '\n', '\r', ' ', '-', 'x'};
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::string body = seedBody(random);
    const int edits = int(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % body.size();
      switch (random() % 3) {
        case 0:
          body[at] = picks[random() % sizeof picks];
          break;
        case 1:
          body.erase(at, 1 + random() % 8);
          break;
        default:
          body.insert(at, 1, picks[random() % sizeof picks]);
      }
    }
    driver.feed(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  }
  const size_t stored = driver.replay();
  for (const char* name : {"in", "first", "second"}) std::remove(scratch(name).c_str());
  std::printf("drive_state_fuzz: %lu state files, %zu stored inputs\n", driver.runs(), stored);
  return 0;
}
#endif
