// One side of a folder pair as the scan sees it: the files that pass the
// filter, in the order the file system lists them, with the last-write time
// the listing gave; every entry met on the way, so that the scan can tell
// whether a path exists without asking the file system again; and the folders
// that could not be listed.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "SyncFileSystem.h"
#include "SyncRecords.h"

namespace tovik {

class CSyncWalk {
 public:
  using Entry = std::pair<const std::string, SyncFileTime>;

  explicit CSyncWalk(ISyncFileSystem& fs);

  // Walks folder (ending with "\" or "/") and, unless flags (SyncParams) say
  // otherwise, its subfolders; false when folder itself cannot be listed. A
  // subfolder that cannot be listed is kept in unlisted(), its contents unknown.
  bool Walk(const std::string& folder, uint32_t flags);
  void Clear();

  const std::vector<const Entry*>& files() const { return files_; }
  // The listed time of path, file or folder; null when no listing had it (it
  // may still exist under another spelling, or outside the walked folders).
  const SyncFileTime* Listed(const std::string& path) const;
  // True when path lies inside a folder that could not be listed.
  bool BelowUnlisted(const std::string& path) const;
  const std::vector<std::string>& unlisted() const { return unlisted_; }

 private:
  bool walkFolder(const std::string& folder);  // false when it cannot be listed

  ISyncFileSystem& fs_;
  uint32_t flags_ = 0;
  std::unordered_map<std::string, SyncFileTime> listed_;
  std::vector<const Entry*> files_;  // into listed_, whose nodes never move
  std::vector<std::string> unlisted_;
};

}  // namespace tovik
