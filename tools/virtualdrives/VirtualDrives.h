// The drives of the virtual-drive program: two emulated drives, a removable
// one and one that presents itself as a fixed disk with two volumes, behind
// the SDK's device port and on the emulated bus, each kept in a folder of its
// own between runs (its state file, its image file and the files of each
// partition). A plugged-in drive's letters are Wine drives that show the
// folders of the partitions it presents, each the partition's size (and
// read-only while the drive is write-protected) where the host lets the
// program mount.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DriveRegistration.h"
#include "EmuAspiTarget.h"
#include "EmuDevicePort.h"
#include "EmulatedBus.h"
#include "EmulatedDrive.h"
#include "PDKCriticalSection.h"
#include "PartitionFolder.h"

class CVirtualDrives {
 public:
  enum Slot { kRemovable = 0, kFixedDisk = 1 };
  static constexpr int kSlotCount = 2;
  // The Windows path of the folder the drives live in, passed on to the copy
  // the program installs and starts.
  static constexpr const char* kFolderVariable = "TOVIK_VIRTUAL_DRIVES";
  // The emulated ASPI library to load (a full path), for the ME transport.
  static constexpr const char* kAspiVariable = "TOVIK_VIRTUAL_ASPI";
  static constexpr const char* kStateFile = "drive.state";
  static constexpr const char* kImageFile = "drive.img";

  // Loads the drives from below `folder` (made when missing), new ones where
  // nothing was saved, and puts them behind the SDK's device port, unplugged.
  explicit CVirtualDrives(const std::string& folder);
  // Saves every drive and takes them away from the port and the letters.
  ~CVirtualDrives();
  CVirtualDrives(const CVirtualDrives&) = delete;
  CVirtualDrives& operator=(const CVirtualDrives&) = delete;

  // The folder from kFolderVariable; empty when it is not set.
  static std::string FolderFromEnvironment();
  static std::string Variable(const char* name);

  // False (with Problem() telling why) when the drive could not be plugged in
  // or pulled out.
  bool PlugIn(int slot);
  bool PullOut(int slot);
  bool IsPlugged(int slot) const;
  // The letters the drive gets, and what the plug window calls it.
  static std::vector<char> Letters(int slot);
  static const char* Name(int slot);
  const std::string& Problem() const { return problem_; }
  // Said once, when the partitions could not be mounted: empty otherwise.
  const std::string& Notice() const { return notice_; }

  // The emulated drive itself, which answers the commands the SDK sends.
  emu::CEmulatedDrive& Drive(int slot) { return *drives_[slot].drive; }
  // The folder the drive's n-th letter shows now, and whether it is mounted.
  std::string VolumeFolder(int slot, int volume) const;
  bool VolumeMounted(int slot, int volume) const;
  // The bytes of the partition the drive's n-th letter shows now.
  uint64_t VolumeBytes(int slot, int volume) const;
  void SaveAll();

 private:
  struct Held {
    std::string folder;
    std::unique_ptr<emu::CEmulatedDrive> drive;
    bool plugged = false;
    bool safeShown = false;
    // By emu::FlashPartition.
    std::vector<CPartitionFolder> partitions;
  };

  static emu::DriveConfig ConfigOf(int slot);
  static std::unique_ptr<emu::CEmulatedDrive> Load(const std::string& folder, int slot);
  static void KeepAside(const std::string& path);
  emu::FlashPartition VolumePartition(int slot, int volume, bool safe) const;
  uint64_t PartitionBytes(int slot, emu::FlashPartition partition) const;
  // The drive refuses writes: its letters are read-only too.
  bool WriteProtected(int slot) const;
  // Mounts the folders of the partitions shown with `safe`, or unmounts them.
  bool PresentVolumes(int slot, bool safe);
  void WithdrawVolumes(int slot, bool safe);
  // A drive that switched its presented partition (a privacy-zone login or
  // logout) gets its letters moved to the new partition's folder, one laid
  // out anew its mounts resized, one write-protected its mounts read-only.
  // Called whenever a command of the drive changed what it presents; under the lock.
  void Follow(int slot);
  bool LinkLetters(int slot);
  void UnlinkLetters(int slot);
  void Save(int slot);
  bool Valid(int slot) const { return slot >= 0 && slot < kSlotCount; }

  emu::CEmuDevicePort port_;
  emu::CEmuAspiTarget aspi_;
  emu::CDriveRegistration registration_;
  // The drives' presentation, changed by the program's thread and by the
  // SDK's threads through the drives' commands. Never held while calling
  // into the bus, which talks to the drives.
  CPDKCriticalSection mutex_;
  Held drives_[kSlotCount];
  // Destroyed before the drives it routes to.
  emu::CEmulatedBus bus_;
  std::string problem_;
  std::string notice_;
};
