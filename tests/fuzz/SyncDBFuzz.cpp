// Fuzz target of the sync database: any bytes a damaged file may hold. Loading,
// the link, iteration and every lookup must stay inside the image, and the
// indexed lookup must give exactly the first match a walk through the records
// gives, before and after edits. Built with libFuzzer the entry point is driven
// by the fuzzer; built without it, main() feeds a fixed pseudo-random corpus of
// mutated valid databases.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "SyncDB.h"
#include "SyncText.h"

using namespace tovik;

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "sync_db_fuzz: %s\n", what);
  std::abort();
}

// A file system holding one file in memory.
class MemoryFileSystem : public ISyncFileSystem {
 public:
  explicit MemoryFileSystem(std::vector<uint8_t> file) : file_(std::move(file)) {}
  bool pathExists(const std::string&) override { return true; }
  bool access(const std::string&) override { return true; }
  ReadResult readFile(const std::string&, std::vector<uint8_t>& data) override {
    data = file_;
    return ReadResult::kOk;
  }
  CreateResult createFile(const std::string&, const uint8_t* d, size_t n) override {
    file_.assign(d, d + n);
    return CreateResult::kOk;
  }
  bool replaceFile(const std::string&, const uint8_t* d, size_t n) override {
    file_.assign(d, d + n);
    return true;
  }
  bool listFolder(const std::string&, std::vector<SyncFolderEntry>&) override { return false; }
  bool lastWriteTime(const std::string&, SyncFileTime&) override { return false; }
  uint32_t attributes(const std::string&) override { return kAttrInvalid; }
  bool setAttributes(const std::string&, uint32_t) override { return false; }
  bool copyFile(const std::string&, const std::string&, bool) override { return false; }
  bool removeFile(const std::string&) override { return false; }
  bool makeFolder(const std::string&) override { return false; }
  bool removeFolder(const std::string&) override { return false; }

  const std::vector<uint8_t>& file() const { return file_; }

 private:
  std::vector<uint8_t> file_;
};

std::string pathAt(const std::vector<uint8_t>& image, size_t offset) {
  char16_t field[kSyncPathUnits];
  for (size_t i = 0; i < kSyncPathUnits; ++i) {
    field[i] = char16_t(image[offset + 2 * i] | (image[offset + 2 * i + 1] << 8));
  }
  return FieldToPath(field, kSyncPathUnits);
}

// The lookup as a walk through the records.
int64_t linearFind(const std::vector<uint8_t>& image, const std::string& path) {
  for (size_t at = CSyncDB::kFirstRecord; at + SyncFileRecord::kSize <= image.size();
       at += SyncFileRecord::kSize) {
    if (pathAt(image, at) == path || pathAt(image, at + 520) == path) return int64_t(at);
  }
  return -1;
}

std::vector<std::string> recordPaths(const CSyncDB& db) {
  std::vector<std::string> paths;
  SyncFileRecord r;
  for (int64_t at = db.FirstEntry(r); at >= 0; at = db.NextEntry(at, r)) {
    if (size_t(at) + SyncFileRecord::kSize > db.image().size()) fail("record beyond the image");
    paths.push_back(FieldToPath(r.hostPath, kSyncPathUnits));
    paths.push_back(FieldToPath(r.drivePath, kSyncPathUnits));
  }
  return paths;
}

void checkLookups(const CSyncDB& db, const std::vector<std::string>& extra) {
  std::vector<std::string> paths = recordPaths(db);
  paths.insert(paths.end(), extra.begin(), extra.end());
  for (const std::string& p : paths) {
    if (db.FindEntry(p) != linearFind(db.image(), p)) fail("lookup differs from the walk");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFileSystem fs(std::vector<uint8_t>(data, data + size));
  const std::vector<std::string> extra = {"", "C:\\h\\a", "F:\\d\\a", "?", "C:\\h\\"};
  try {
    CSyncDB db("mem", fs);
    if (db.image().size() != size) fail("image is not the file");
    SyncLinkRecord link;
    db.GetLink(link);
    checkLookups(db, extra);

    // Edits keep the lookups equal to the walk; stray bytes stay at the end.
    const size_t stray =
        size < CSyncDB::kFirstRecord ? 0 : (size - CSyncDB::kFirstRecord) % SyncFileRecord::kSize;
    std::vector<std::string> paths = recordPaths(db);
    SyncFileRecord r;
    PathToField("C:\\h\\a", r.hostPath, kSyncPathUnits);
    PathToField(paths.empty() ? "F:\\d\\a" : paths.back(), r.drivePath, kSyncPathUnits);
    if (!paths.empty()) {
      db.UpdateEntry(paths[paths.size() / 2], r);
      checkLookups(db, extra);
      db.RemoveEntry(paths.front());
      checkLookups(db, extra);
    }
    if (db.image().size() >= CSyncDB::kFirstRecord) {
      db.AddEntry(r);
      checkLookups(db, extra);
      if (db.FindEntry("C:\\h\\a") < 0) fail("added record not found");
    }
    if (size >= CSyncDB::kFirstRecord &&
        (db.image().size() - CSyncDB::kFirstRecord) % SyncFileRecord::kSize != stray) {
      fail("stray bytes changed");
    }
    db.Flush();
    if (fs.file() != db.image()) fail("flush wrote something else");
  } catch (const sync::CPDKException& e) {
    if (e.code != 0 && e.code != 1) fail("load failed with an unexpected code");
  }
  return 0;
}

#ifndef TOVIK_LIBFUZZER
#include "FuzzDriver.h"

namespace {

std::vector<uint8_t> seedDatabase(std::mt19937& random) {
  std::vector<uint8_t> image(CSyncDB::kHeaderSize, 0);
  std::memcpy(image.data(), CSyncDB::kHeaderText, sizeof(CSyncDB::kHeaderText));
  if (random() % 8 == 0) return image;
  SyncLinkRecord link;
  PathToField("C:\\h\\", link.hostFolder, kSyncPathUnits);
  PathToField("0:\\d\\", link.driveFolder, kSyncPathUnits);
  image.resize(CSyncDB::kFirstRecord);
  link.encode(image.data() + CSyncDB::kLinkOffset);
  const int count = int(random() % 6);
  const char* names[] = {"a", "b", "a", "C:\\h\\a", "F:\\d\\a", ""};
  for (int i = 0; i < count; ++i) {
    SyncFileRecord r;
    PathToField(std::string("C:\\h\\") + names[random() % 6], r.hostPath, kSyncPathUnits);
    PathToField(random() % 4 == 0 ? names[random() % 6] : std::string("F:\\d\\") + names[i % 6],
                r.drivePath, kSyncPathUnits);
    r.time = SyncFileTime::from(random());
    const size_t at = image.size();
    image.resize(at + SyncFileRecord::kSize);
    r.encode(image.data() + at);
  }
  return image;
}

void mutate(std::vector<uint8_t>& image, std::mt19937& random) {
  const int edits = 1 + int(random() % 6);
  for (int e = 0; e < edits; ++e) {
    switch (random() % 7) {
      case 0:  // a random byte
        if (!image.empty()) image[random() % image.size()] = uint8_t(random());
        break;
      case 1:  // a path field without its NUL
        if (image.size() > CSyncDB::kFirstRecord) {
          const size_t field =
              CSyncDB::kFirstRecord + (random() % 2) * 520 +
              (random() % ((image.size() - CSyncDB::kFirstRecord) / 520 + 1)) * 520;
          for (size_t i = field; i + 1 < image.size() && i < field + 520; i += 2) {
            image[i] = uint8_t('A' + random() % 3);
            image[i + 1] = 0;
          }
        }
        break;
      case 2:  // lone surrogates
        if (image.size() > 2) {
          const size_t at = (random() % (image.size() / 2)) * 2;
          image[at] = uint8_t(random());
          if (at + 1 < image.size()) image[at + 1] = uint8_t(0xD8 + random() % 8);
        }
        break;
      case 3:  // a length that is no whole number of records
        image.resize(image.size() + random() % 1100);
        break;
      case 4:
        image.resize(random() % (image.size() + 1));
        break;
      case 5:  // the header text damaged
        if (!image.empty()) image[random() % std::min<size_t>(26, image.size())] ^= 1;
        break;
      default:  // a link whose drive digit is no position
        if (image.size() >= CSyncDB::kFirstRecord)
          image[CSyncDB::kLinkOffset + 520] = uint8_t(random());
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  FuzzDriver driver(argc, argv, 3000);
  std::mt19937 random(20261210);
  for (unsigned long i = 0; i < driver.runs(); ++i) {
    std::vector<uint8_t> image = seedDatabase(random);
    if (random() % 4 != 0) mutate(image, random);
    driver.feed(image.data(), image.size());
  }
  const size_t stored = driver.replay();
  std::printf("sync_db_fuzz: %lu databases loaded, %zu stored inputs\n", driver.runs(), stored);
  return 0;
}
#endif
