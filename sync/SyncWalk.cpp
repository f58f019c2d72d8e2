#include "SyncWalk.h"

#include <algorithm>
#include <string>

#include "DebugOutput.h"
#include "SyncParams.h"

namespace tovik {

CSyncWalk::CSyncWalk(ISyncFileSystem& fs) : fs_(fs) {}

void CSyncWalk::Clear() {
  files_.clear();
  byPath_.clear();
  folders_.clear();
  unlisted_.clear();
}

bool CSyncWalk::Walk(const std::string& folder, uint32_t flags) {
  Clear();
  flags_ = flags;
  return walkFolder(folder);
}

bool CSyncWalk::walkFolder(const std::string& path) {
  auto listed = std::make_unique<Folder>();
  if (!fs_.listFolder(path, listed->entries)) return false;
  Folder& folder = *listed;
  folder.path = path;
  std::vector<SyncFolderEntry>& entries = folder.entries;
  // "." and ".." are nobody's files.
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const SyncFolderEntry& e) {
                                 return (e.attributes & kAttrDirectory) != 0 &&
                                        (e.name == "." || e.name == "..");
                               }),
                entries.end());
  folder.byName.resize(entries.size());
  for (uint32_t i = 0; i < folder.byName.size(); ++i) folder.byName[i] = i;
  std::sort(folder.byName.begin(), folder.byName.end(),
            [&entries](uint32_t a, uint32_t b) { return entries[a].name < entries[b].name; });
  byPath_.emplace(folder.path, &folder);
  folders_.push_back(std::move(listed));

  for (uint32_t i = 0; i < entries.size(); ++i) {
    const SyncFolderEntry& e = entries[i];
    if ((e.attributes & kAttrDirectory) != 0) {
      if ((flags_ & kSyncNoSubfolders) != 0) continue;
      const std::string inner = folder.path + e.name + "\\";
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
    files_.push_back({&folder, i});
  }
  return true;
}

const SyncFileTime& CSyncWalk::File(size_t i, std::string& path) const {
  const SyncFolderEntry& e = files_[i].folder->entries[files_[i].entry];
  path.assign(files_[i].folder->path).append(e.name);
  return e.lastWrite;
}

const SyncFileTime* CSyncWalk::Listed(const std::string& path) const {
  const size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return nullptr;
  const auto found = byPath_.find(std::string_view(path.data(), cut + 1));
  if (found == byPath_.end()) return nullptr;
  const Folder& folder = *found->second;
  const char* name = path.c_str() + cut + 1;
  const size_t length = path.size() - cut - 1;
  const auto at =
      std::lower_bound(folder.byName.begin(), folder.byName.end(), 0, [&](uint32_t index, int) {
        return folder.entries[index].name.compare(0, std::string::npos, name, length) < 0;
      });
  if (at == folder.byName.end() ||
      folder.entries[*at].name.compare(0, std::string::npos, name, length) != 0) {
    return nullptr;
  }
  return &folder.entries[*at].lastWrite;
}

bool CSyncWalk::BelowUnlisted(const std::string& path) const {
  for (const std::string& folder : unlisted_) {
    if (path.compare(0, folder.size(), folder) == 0) return true;
  }
  return false;
}

}  // namespace tovik
