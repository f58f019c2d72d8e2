// The folder a letter shows for one partition of a virtual drive. While the
// partition is presented it is a tmpfs mount the partition's size, so that
// the letter's capacity and free space are the partition's; its files are
// kept in a folder beside the drive's state between presentations, copied
// out before the mount goes and back in when it comes. Where the host does
// not let the program mount (not root, say), it is a plain folder that keeps
// its files itself, and the letter has the host disk's size.
#pragma once

#include <cstdint>
#include <string>

class CPartitionFolder {
 public:
  // `folder` is what the letter links to, `kept` where its files stay
  // (Windows paths).
  CPartitionFolder(std::string folder, std::string kept);

  // Mounts a tmpfs of `bytes` on the folder and brings the kept files in;
  // false when it could not mount, the folder then being a plain one.
  bool Present(uint64_t bytes);
  // The partition now has `bytes` (a new layout): the mount follows.
  void Resize(uint64_t bytes);
  // Copies the files out to the kept place and unmounts; false (the files
  // staying in the mount) when they could not be copied.
  bool Withdraw();
  // The partition was formatted: its files are gone.
  void Empty();
  // The drive is write-protected, or no longer: the mount is made read-only
  // or writable again. A plain folder stays writable.
  void Protect(bool readOnly);
  bool Mounted() const { return mounted_; }
  bool ReadOnly() const { return readOnly_; }
  const std::string& Folder() const { return folder_; }

 private:
  // Runs a host script on the folder (%F), the kept place (%K) and its new copy (%N).
  int Run(const std::string& script) const;

  std::string folder_;
  std::string kept_;
  bool mounted_ = false;
  bool readOnly_ = false;
  uint64_t bytes_ = 0;
};
