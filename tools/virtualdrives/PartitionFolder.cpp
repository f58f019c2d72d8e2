#include "PartitionFolder.h"

#include <algorithm>
#include <utility>

#include "WinExplorer.h"
#include "WineDriveLetters.h"

namespace {

// tmpfs takes size 0 for "no limit": a partition without sectors gets one page.
constexpr uint64_t kPage = 4096;

std::string ParentOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

std::string SizeOption(uint64_t bytes) { return "size=" + std::to_string(std::max(bytes, kPage)); }

}  // namespace

CPartitionFolder::CPartitionFolder(std::string folder, std::string kept)
    : folder_(std::move(folder)), kept_(std::move(kept)) {}

int CPartitionFolder::Run(const std::string& script) const {
  const std::string folder = CWineDriveLetters::HostPath(folder_);
  const std::string kept = CWineDriveLetters::HostPath(kept_);
  // Without both host paths the script would reach other places: the root, say.
  if (folder.empty() || kept.empty()) return -1;
  std::string line;
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i] == '%' && i + 1 < script.size()) {
      const char name = script[++i];
      line += CWineDriveLetters::ShellWord(name == 'F' ? folder : name == 'K' ? kept : kept + ".new");
    } else {
      line += script[i];
    }
  }
  return CWineDriveLetters::RunHostScript(line, ParentOf(folder_));
}

bool CPartitionFolder::Present(uint64_t bytes) {
  if (mounted_) return true;
  CWinExplorer::CreateFolderWithParents(folder_);
  CWinExplorer::CreateFolderWithParents(kept_);
  // Files found in the folder itself (a run that could not mount, or a mount
  // a killed run left) are taken over first; without a mount they go back.
  const int code = Run("cp -a %F/. %K/ && find %F -mindepth 1 -delete; "
                       "mountpoint -q %F && umount -l %F; "
                       "mount -t tmpfs -o " + SizeOption(bytes) + " tmpfs %F || "
                       "{ cp -a %K/. %F/; exit 3; }; cp -a %K/. %F/");
  // Mounted even when a file did not come in: the kept place still has it.
  mounted_ = code == 0 || code == 1;
  if (mounted_) bytes_ = bytes;
  return mounted_;
}

void CPartitionFolder::Resize(uint64_t bytes) {
  if (!mounted_ || bytes == bytes_) return;
  if (Run("mount -o remount," + SizeOption(bytes) + " %F") == 0) bytes_ = bytes;
}

bool CPartitionFolder::Withdraw() {
  if (!mounted_) return true;
  // Copied aside first: the kept files are replaced only by a whole copy.
  if (Run("rm -rf %N && mkdir -p %N && cp -a %F/. %N/ && rm -rf %K && mv %N %K && umount -l %F") !=
      0) {
    return false;
  }
  mounted_ = false;
  readOnly_ = false;
  return true;
}

void CPartitionFolder::Protect(bool readOnly) {
  if (!mounted_ || readOnly == readOnly_) return;
  if (Run(std::string("mount -o remount,") + (readOnly ? "ro" : "rw") + " %F") == 0)
    readOnly_ = readOnly;
}

void CPartitionFolder::Empty() { Run("find %F %K -mindepth 1 -delete"); }
