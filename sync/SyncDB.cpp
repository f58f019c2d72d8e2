#include "SyncDB.h"

#include <algorithm>
#include <cstring>

#include "SyncText.h"

namespace tovik {

namespace {

constexpr size_t kHeaderTextSize = sizeof(CSyncDB::kHeaderText);  // with its NUL: 26

[[noreturn]] void fail(int32_t code, const char* text) { throw sync::CPDKException(code, text); }

// The ANSI text of the path field at the image offset.
std::string pathAt(const std::vector<uint8_t>& image, size_t offset) {
  char16_t field[kSyncPathUnits];
  for (size_t i = 0; i < kSyncPathUnits; ++i) {
    field[i] = char16_t(image[offset + 2 * i] | (image[offset + 2 * i + 1] << 8));
  }
  return FieldToPath(field, kSyncPathUnits);
}

std::vector<uint8_t> headerImage() {
  std::vector<uint8_t> header(CSyncDB::kHeaderSize, 0);
  std::memcpy(header.data(), CSyncDB::kHeaderText, kHeaderTextSize);
  return header;
}

}  // namespace

CSyncDB::CSyncDB(const std::string& path, ISyncFileSystem& fs) : path_(path), fs_(fs) {
  switch (fs_.readFile(path_, image_)) {
    case ISyncFileSystem::ReadResult::kOpenFailed:
      fail(sync::kDatabaseError, "Error opening file");
    case ISyncFileSystem::ReadResult::kReadFailed:
      fail(sync::kDatabaseError, "Error reading from file");
    case ISyncFileSystem::ReadResult::kOk:
      break;
  }
  if (image_.size() < kHeaderSize) fail(sync::kCorruptDatabase, "Corrupt Database");
  if (std::memcmp(image_.data(), kHeaderText, kHeaderTextSize) != 0) {
    fail(sync::kCorruptDatabase, "Corrupt Database");
  }
  const size_t count = recordCount();
  index_.reserve(2 * count);
  for (size_t i = 0; i < count; ++i) indexRecord(i);
}

CSyncDB::~CSyncDB() {
  try {
    if (changed_) Flush();
  } catch (const sync::CPDKException&) {
    // The file keeps what the last successful Flush wrote.
  }
}

size_t CSyncDB::recordCount() const {
  return image_.size() < kFirstRecord ? 0 : (image_.size() - kFirstRecord) / SyncFileRecord::kSize;
}

// Capacity grows in whole steps of ten records, but by half of what is held at
// least: steps of a fixed size would copy a large image over and over, and a
// first synchronisation of many files adds one record per file.
void CSyncDB::reserveFor(size_t size) {
  if (image_.capacity() >= size) return;
  size_t wanted = std::max(size, image_.capacity() + image_.capacity() / 2);
  wanted = (wanted + kGrowStep - 1) / kGrowStep * kGrowStep;
  image_.reserve(wanted);
}

void CSyncDB::indexRecord(size_t index) {
  const size_t offset = recordOffset(index);
  const std::string host = pathAt(image_, offset);
  const std::string drive = pathAt(image_, offset + 520);
  const uint32_t at = uint32_t(index);
  for (const std::string* key : {&host, &drive}) {
    const auto added = index_.try_emplace(*key);
    Slots& slots = added.first->second;
    if (added.second) {
      slots.first = at;
    } else if (at < slots.first) {
      slots.more.insert(slots.more.begin(), slots.first);
      slots.first = at;
    } else if (at != slots.first) {
      const auto place = std::lower_bound(slots.more.begin(), slots.more.end(), at);
      if (place == slots.more.end() || *place != at) slots.more.insert(place, at);
    }
  }
}

void CSyncDB::unindexRecord(size_t index) {
  const size_t offset = recordOffset(index);
  const uint32_t at = uint32_t(index);
  for (const std::string& key : {pathAt(image_, offset), pathAt(image_, offset + 520)}) {
    const auto found = index_.find(key);
    if (found == index_.end()) continue;
    Slots& slots = found->second;
    if (slots.first == at) {
      if (slots.more.empty()) {
        index_.erase(found);
        continue;
      }
      slots.first = slots.more.front();
      slots.more.erase(slots.more.begin());
      continue;
    }
    const auto place = std::lower_bound(slots.more.begin(), slots.more.end(), at);
    if (place != slots.more.end() && *place == at) slots.more.erase(place);
  }
}

int64_t CSyncDB::firstIndex(const std::string& path) const {
  // Compared as C strings: nothing after a NUL takes part. Only a path that
  // has one is copied; the scan looks up every path it meets.
  const auto found = path.find('\0') == std::string::npos ? index_.find(path)
                                                          : index_.find(std::string(path.c_str()));
  if (found == index_.end()) return -1;
  return found->second.first;
}

bool CSyncDB::GetLink(SyncLinkRecord& link) const {
  if (image_.size() < kFirstRecord) return false;
  link.decode(image_.data() + kLinkOffset);
  return true;
}

void CSyncDB::AddLink(const SyncLinkRecord& link) {
  if (image_.size() > kHeaderSize) fail(sync::kLinkExists, "Link already exists");
  reserveFor(kFirstRecord);
  image_.resize(kFirstRecord);
  link.encode(image_.data() + kLinkOffset);
  changed_ = true;
}

// A new record goes after the last whole record. Stray bytes behind the records
// stay behind them: appended after the strays, the record would straddle the
// record grid and be lost to every lookup.
void CSyncDB::AddEntry(const SyncFileRecord& record) {
  if (image_.size() < kFirstRecord) fail(sync::kNoLink, "No link found");
  const size_t count = recordCount();
  uint8_t bytes[SyncFileRecord::kSize];
  record.encode(bytes);
  reserveFor(image_.size() + SyncFileRecord::kSize);
  image_.insert(image_.begin() + ptrdiff_t(recordOffset(count)), bytes, bytes + sizeof(bytes));
  indexRecord(count);
  changed_ = true;
}

int64_t CSyncDB::FindEntry(const std::string& path) const {
  const int64_t index = firstIndex(path);
  return index < 0 ? -1 : int64_t(recordOffset(size_t(index)));
}

bool CSyncDB::GetEntry(const std::string& path, SyncFileRecord& record) const {
  const int64_t offset = FindEntry(path);
  if (offset < 0) return false;
  record.decode(image_.data() + offset);
  return true;
}

bool CSyncDB::UpdateEntry(const std::string& path, const SyncFileRecord& record) {
  const int64_t index = firstIndex(path);
  if (index < 0) return false;
  unindexRecord(size_t(index));
  record.encode(image_.data() + recordOffset(size_t(index)));
  changed_ = true;
  indexRecord(size_t(index));
  return true;
}

// The last whole record fills the gap; stray bytes behind it stay in the image.
bool CSyncDB::RemoveEntry(const std::string& path) {
  const int64_t found = firstIndex(path);
  if (found < 0) return false;
  const size_t index = size_t(found);
  const size_t last = recordCount() - 1;
  unindexRecord(index);
  if (index != last) {
    unindexRecord(last);
    std::memcpy(image_.data() + recordOffset(index), image_.data() + recordOffset(last),
                SyncFileRecord::kSize);
    indexRecord(index);
  }
  const auto from = image_.begin() + ptrdiff_t(recordOffset(last));
  image_.erase(from, from + ptrdiff_t(SyncFileRecord::kSize));
  changed_ = true;
  return true;
}

int64_t CSyncDB::FirstEntry(SyncFileRecord& record) const {
  if (recordCount() == 0) return -1;
  record.decode(image_.data() + kFirstRecord);
  return int64_t(kFirstRecord);
}

int64_t CSyncDB::NextEntry(int64_t offset, SyncFileRecord& record) const {
  // Only the offset of a record leads to the next one.
  if (offset < int64_t(kFirstRecord) || (size_t(offset) - kFirstRecord) % SyncFileRecord::kSize) {
    return -1;
  }
  const size_t next = (size_t(offset) - kFirstRecord) / SyncFileRecord::kSize + 1;
  if (next >= recordCount()) return -1;
  record.decode(image_.data() + recordOffset(next));
  return int64_t(recordOffset(next));
}

void CSyncDB::Clear() {
  image_.resize(kHeaderSize);
  changed_ = true;
  index_.clear();
}

void CSyncDB::Flush() {
  if (!fs_.replaceFile(path_, image_.data(), image_.size())) {
    fail(sync::kDatabaseError, "Error flushing to database file");
  }
  changed_ = false;
}

namespace sync {

std::string DatabasePath(const std::string& folder, const std::string& name) {
  return folder + "SyncDB_" + name + ".dat";
}

bool Exists(const std::string& folder, const std::string& name, ISyncFileSystem& fs) {
  return fs.pathExists(DatabasePath(folder, name));
}

std::unique_ptr<CSyncDB> Open(const std::string& folder, const std::string& name, bool openExisting,
                              ISyncFileSystem& fs) {
  const std::string path = DatabasePath(folder, name);
  if (openExisting) {
    if (!fs.pathExists(path)) fail(kDatabaseError, "Database does not exist");
  } else {
    const std::vector<uint8_t> header = headerImage();
    switch (fs.createFile(path, header.data(), header.size())) {
      case ISyncFileSystem::CreateResult::kCreateFailed:
        fail(kDatabaseError, "Error creating database file");
      case ISyncFileSystem::CreateResult::kWriteFailed:
        fail(kDatabaseError, "Error writing to database file");
      case ISyncFileSystem::CreateResult::kOk:
        break;
    }
  }
  return std::make_unique<CSyncDB>(path, fs);
}

void Delete(const std::string& folder, const std::string& name, ISyncFileSystem& fs) {
  const std::string path = DatabasePath(folder, name);
  fs.setAttributes(path, kAttrNormal);
  if (!fs.removeFile(path)) fail(kDatabaseError, "Could not delete database file");
}

}  // namespace sync

}  // namespace tovik
