// The sync database: the state of a folder pair after its last synchronisation,
// kept as the complete file image in memory and written back whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "PDKException.h"
#include "SyncFileSystem.h"
#include "SyncRecords.h"

namespace tovik {

class CSyncDB {
 public:
  static constexpr size_t kHeaderSize = 128;
  static constexpr size_t kLinkOffset = kHeaderSize;
  static constexpr size_t kFirstRecord = kLinkOffset + SyncLinkRecord::kSize;  // 1184
  static constexpr size_t kGrowStep = 10 * SyncFileRecord::kSize;              // 10480
  static constexpr char kHeaderText[] = "Ovrin SyncDB Version 1.0\n";

  // Loads the file; throws sync::CPDKException code 0 or 1.
  explicit CSyncDB(const std::string& path, ISyncFileSystem& fs = platformSyncFileSystem());
  // Writes the image back when it changed: an unchanged one is the file already,
  // and a large one takes long to write again. A failure here has nobody to
  // tell and is dropped.
  ~CSyncDB();

  CSyncDB(const CSyncDB&) = delete;
  CSyncDB& operator=(const CSyncDB&) = delete;

  bool GetLink(SyncLinkRecord& link) const;
  void AddLink(const SyncLinkRecord& link);
  void AddEntry(const SyncFileRecord& record);
  // Byte offset of the first record in storage order whose host or drive path
  // is path (exact, case-sensitive), or -1.
  int64_t FindEntry(const std::string& path) const;
  bool GetEntry(const std::string& path, SyncFileRecord& record) const;
  bool UpdateEntry(const std::string& path, const SyncFileRecord& record);
  bool RemoveEntry(const std::string& path);
  int64_t FirstEntry(SyncFileRecord& record) const;
  int64_t NextEntry(int64_t offset, SyncFileRecord& record) const;
  void Clear();
  void Flush();

  // True when the image differs from what was loaded or last flushed.
  bool changed() const { return changed_; }
  const std::string& path() const { return path_; }
  const std::vector<uint8_t>& image() const { return image_; }

 private:
  size_t recordCount() const;
  size_t recordOffset(size_t index) const { return kFirstRecord + index * SyncFileRecord::kSize; }
  void reserveFor(size_t size);
  void indexRecord(size_t index);
  void unindexRecord(size_t index);
  int64_t firstIndex(const std::string& path) const;

  std::string path_;
  ISyncFileSystem& fs_;
  std::vector<uint8_t> image_;
  bool changed_ = false;
  // The ascending indices of the records that carry one path. Almost always
  // there is one, kept in the table's own node: a lookup, made for every file
  // a scan meets, then reads no second block.
  struct Slots {
    uint32_t first = 0;
    std::vector<uint32_t> more;  // the others, ascending; empty but for duplicates
  };
  // Every record's host and drive path (as ANSI text) to the records that
  // carry it: a lookup gives the same first record the walk through the records
  // would, without walking them.
  std::unordered_map<std::string, Slots> index_;
};

namespace sync {

// The file of a database: folder + "SyncDB_" + name + ".dat".
std::string DatabasePath(const std::string& folder, const std::string& name);
bool Exists(const std::string& folder, const std::string& name,
            ISyncFileSystem& fs = platformSyncFileSystem());
std::unique_ptr<CSyncDB> Open(const std::string& folder, const std::string& name, bool openExisting,
                              ISyncFileSystem& fs = platformSyncFileSystem());
void Delete(const std::string& folder, const std::string& name,
            ISyncFileSystem& fs = platformSyncFileSystem());

}  // namespace sync

}  // namespace tovik
