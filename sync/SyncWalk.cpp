#include "SyncWalk.h"

#include <string>

#include "DebugOutput.h"
#include "SyncParams.h"

namespace tovik {

CSyncWalk::CSyncWalk(ISyncFileSystem& fs) : fs_(fs) {}

void CSyncWalk::Clear() {
  files_.clear();
  listed_.clear();
  unlisted_.clear();
}

bool CSyncWalk::Walk(const std::string& folder, uint32_t flags) {
  Clear();
  flags_ = flags;
  return walkFolder(folder);
}

bool CSyncWalk::walkFolder(const std::string& folder) {
  std::vector<SyncFolderEntry> entries;
  if (!fs_.listFolder(folder, entries)) return false;
  for (const SyncFolderEntry& e : entries) {
    const bool folderEntry = (e.attributes & kAttrDirectory) != 0;
    if (folderEntry && (e.name == "." || e.name == "..")) continue;
    const auto added = listed_.emplace(folder + e.name, e.lastWrite);
    if (folderEntry) {
      if ((flags_ & kSyncNoSubfolders) != 0) continue;
      const std::string inner = added.first->first + "\\";
      if (!walkFolder(inner)) {
        // Taken for empty, the folder would have the scan propose deleting, on
        // the other side, every file recorded inside it.
        unlisted_.push_back(inner);
        pdkos::debugOutput((std::string(__FILE__) + "(" + std::to_string(__LINE__) +
                            ") : ERROR cannot list " + inner +
                            ": nothing inside it is proposed for deletion\n")
                               .c_str());
      }
      continue;
    }
    const bool hidden = (e.attributes & kAttrHidden) != 0;
    const bool system = (e.attributes & kAttrSystem) != 0;
    if (hidden && system && (flags_ & kSyncSkipHiddenSystem) != 0) continue;
    if (hidden && !system && (flags_ & kSyncSkipHidden) != 0) continue;
    files_.push_back(&*added.first);
  }
  return true;
}

const SyncFileTime* CSyncWalk::Listed(const std::string& path) const {
  const auto found = listed_.find(path);
  return found == listed_.end() ? nullptr : &found->second;
}

bool CSyncWalk::BelowUnlisted(const std::string& path) const {
  for (const std::string& folder : unlisted_) {
    if (path.compare(0, folder.size(), folder) == 0) return true;
  }
  return false;
}

}  // namespace tovik
