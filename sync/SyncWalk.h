// One side of a folder pair as the scan sees it: the files that pass the
// filter, in the order the file system lists them, with the last-write time
// the listing gave; every entry met on the way, so that the scan can tell
// whether a path exists without asking the file system again; and the folders
// that could not be listed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "SyncFileSystem.h"
#include "SyncRecords.h"

namespace tovik {

class CSyncWalk {
 public:
  explicit CSyncWalk(ISyncFileSystem& fs);

  // Walks folder (ending with "\" or "/") and, unless flags (SyncParams) say
  // otherwise, its subfolders; false when folder itself cannot be listed. A
  // subfolder that cannot be listed is kept in unlisted(), its contents unknown.
  bool Walk(const std::string& folder, uint32_t flags);
  void Clear();

  // The found files in walk order: the count, and file i's path (into path,
  // whose buffer is reused) and listed time.
  size_t FileCount() const { return files_.size(); }
  const SyncFileTime& File(size_t i, std::string& path) const;
  // The listed time of path, file or folder; null when no listing had it (it
  // may still exist under another spelling, or outside the walked folders).
  // Safe to call from several threads once the walk is done.
  const SyncFileTime* Listed(const std::string& path) const;
  // True when path lies inside a folder that could not be listed.
  bool BelowUnlisted(const std::string& path) const;
  const std::vector<std::string>& unlisted() const { return unlisted_; }

 private:
  // One listed folder: its entries in listing order, and their indices in the
  // order of their names for lookups.
  struct Folder {
    std::string path;  // ends with the separator the walk went in with
    std::vector<SyncFolderEntry> entries;
    std::vector<uint32_t> byName;
  };
  struct FoundFile {
    const Folder* folder;
    uint32_t entry;
  };

  bool walkFolder(const std::string& folder);  // false when it cannot be listed

  ISyncFileSystem& fs_;
  uint32_t flags_ = 0;
  std::vector<std::unique_ptr<Folder>> folders_;
  // Folder path (viewing the folder's own) to folder; the folders are few, so a
  // lookup stays in the cache where one table of every path would not.
  std::unordered_map<std::string_view, const Folder*> byPath_;
  std::vector<FoundFile> files_;
  std::vector<std::string> unlisted_;
};

}  // namespace tovik
