#include "VirtualDrives.h"

#include <windows.h>

#include <exception>

#include "AspiLibraryLink.h"
#include "DevicePort.h"
#include "DriveStateFile.h"
#include "GUI/Trace.h"
#include "PDKLockGuard.h"
#include "RegistryKey.h"
#include "SectorStore.h"
#include "WinExplorer.h"
#include "WineDriveLetters.h"

namespace {

// Where the 98 SE dynamic data of the drives is written: Wine has no such root.
const char kDynDataRoot[] = "Software\\TovikVirtual\\DynData";

const struct {
  const char* name;
  const char* folder;
  const char* serial;
  bool removable;
  std::vector<char> letters;
} kSlots[CVirtualDrives::kSlotCount] = {
    {"Removable drive", "Removable", "0F3B27000101", true, {'K'}},
    {"Fixed disk", "FixedDisk", "0F3B27000102", false, {'L', 'M'}},
};

const char* const kPartitionNames[] = {"public", "dummy", "safe"};

// 64 MB each: the image files are sparse, so only what is written takes room.
constexpr uint32_t kSectors = 131072;

}  // namespace

CVirtualDrives::CVirtualDrives(const std::string& folder)
    : registration_(kDynDataRoot), bus_(port_, &aspi_) {
  pdkos::CRegistryKey::redirectRoot(pdkos::RegistryRoot::kDynData, kDynDataRoot);
  pdk::setDevicePort(&port_);
  // Only the ME transport needs the library; elsewhere its absence is harmless.
  // Loaded from where it is first, the transport's load by name finds it.
  const std::string library = Variable(kAspiVariable);
  if (!library.empty()) LoadLibraryA(library.c_str());
  emu::connectAspiLibrary(&aspi_);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    drives_[slot].folder = folder + "\\" + kSlots[slot].folder;
    drives_[slot].drive = Load(drives_[slot].folder, slot);
    drives_[slot].safeShown = drives_[slot].drive->state().safePresented;
    for (const char* name : kPartitionNames) {
      drives_[slot].partitions.emplace_back(drives_[slot].folder + "\\" + name,
                                            drives_[slot].folder + "\\kept\\" + name);
    }
    // A format comes from the SDK's thread; the files go before it goes on.
    drives_[slot].drive->setFormatHandler([this, slot](emu::FlashPartition partition) {
      drives_[slot].partitions[size_t(partition)].Empty();
    });
    // A login, a logout, a new layout or a change of write protection: the
    // letters follow before the command is answered, so whoever sent it finds
    // them showing what the drive now presents.
    drives_[slot].drive->setPresentationHandler([this, slot] {
      CPDKLockGuard lock(&mutex_);
      Follow(slot);
    });
  }
}

CVirtualDrives::~CVirtualDrives() {
  // A change being followed now waits for this and finds no drive plugged in.
  CPDKLockGuard lock(&mutex_);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (drives_[slot].plugged) {
      drives_[slot].plugged = false;
      registration_.remove(*drives_[slot].drive, port_);
      UnlinkLetters(slot);
      WithdrawVolumes(slot, drives_[slot].safeShown);
    }
    drives_[slot].drive->setFormatHandler(nullptr);
    drives_[slot].drive->setPresentationHandler(nullptr);
  }
  SaveAll();
  pdk::setDevicePort(nullptr);
  emu::connectAspiLibrary(nullptr);
}

std::string CVirtualDrives::Variable(const char* name) {
  char value[4096] = "";
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? value : std::string();
}

std::string CVirtualDrives::FolderFromEnvironment() { return Variable(kFolderVariable); }

emu::DriveConfig CVirtualDrives::ConfigOf(int slot) {
  emu::DriveConfig config;
  config.serial = kSlots[slot].serial;
  config.removable = kSlots[slot].removable;
  config.sectorCount = kSectors;
  // Firmware 3 and later can be write-protected.
  config.revision = "3.00";
  return config;
}

std::unique_ptr<emu::CEmulatedDrive> CVirtualDrives::Load(const std::string& folder, int slot) {
  CWinExplorer::CreateFolderWithParents(folder);
  const std::string state = folder + "\\" + kStateFile;
  if (CWinExplorer::PathExists(state)) {
    try {
      return emu::CDriveStateFile::openDrive(state);
    } catch (const std::exception& e) {
      TraceError(__FILE__, __LINE__, e.what());
      KeepAside(state);
    }
  }
  // A fresh drive; the sectors of an image without its state are kept.
  const std::string image = folder + "\\" + kImageFile;
  std::unique_ptr<emu::CSectorStore> store;
  try {
    store = emu::CSectorStore::openImage(image, kSectors, true);
  } catch (const std::exception& e) {
    TraceError(__FILE__, __LINE__, e.what());
    KeepAside(image);
    store = emu::CSectorStore::openImage(image, kSectors, true);
  }
  auto drive = std::make_unique<emu::CEmulatedDrive>(ConfigOf(slot), std::move(store));
  // Saved at once, so that the image never lies there without its state.
  emu::CDriveStateFile::saveDrive(state, *drive, image);
  return drive;
}

void CVirtualDrives::KeepAside(const std::string& path) {
  // A damaged file is kept for a look, and the drive starts afresh.
  const std::string kept = path + ".damaged";
  MoveFileExA(path.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::vector<char> CVirtualDrives::Letters(int slot) { return kSlots[slot].letters; }

const char* CVirtualDrives::Name(int slot) { return kSlots[slot].name; }

bool CVirtualDrives::IsPlugged(int slot) const { return Valid(slot) && drives_[slot].plugged; }

emu::FlashPartition CVirtualDrives::VolumePartition(int slot, int volume, bool safe) const {
  // The removable drive shows one partition at a time; the fixed disk keeps
  // its public volume and shows the dummy or the safe one behind it.
  if (kSlots[slot].removable || volume > 0) {
    if (safe) return emu::FlashPartition::kSafe;
    if (!kSlots[slot].removable) return emu::FlashPartition::kDummy;
  }
  return emu::FlashPartition::kPublic;
}

bool CVirtualDrives::WriteProtected(int slot) const {
  const emu::DriveState state = drives_[slot].drive->state();
  return (state.configBlock[emu::CEmulatedDrive::kConfigPresentationOffset] &
          emu::CEmulatedDrive::kConfigWriteProtectBit) != 0;
}

uint64_t CVirtualDrives::PartitionBytes(int slot, emu::FlashPartition partition) const {
  return uint64_t(drives_[slot].drive->partitionSectors(partition)) * emu::kDriveSectorSize;
}

std::string CVirtualDrives::VolumeFolder(int slot, int volume) const {
  const Held& d = drives_[slot];
  return d.partitions[size_t(VolumePartition(slot, volume, d.drive->state().safePresented))]
      .Folder();
}

bool CVirtualDrives::VolumeMounted(int slot, int volume) const {
  const Held& d = drives_[slot];
  return d.partitions[size_t(VolumePartition(slot, volume, d.safeShown))].Mounted();
}

uint64_t CVirtualDrives::VolumeBytes(int slot, int volume) const {
  return PartitionBytes(slot, VolumePartition(slot, volume, drives_[slot].safeShown));
}

bool CVirtualDrives::PresentVolumes(int slot, bool safe) {
  bool all = true;
  for (size_t i = 0; i < kSlots[slot].letters.size(); ++i) {
    const emu::FlashPartition partition = VolumePartition(slot, int(i), safe);
    all = drives_[slot].partitions[size_t(partition)].Present(PartitionBytes(slot, partition)) &&
          all;
  }
  const bool protect = WriteProtected(slot);
  for (size_t i = 0; i < kSlots[slot].letters.size(); ++i) {
    drives_[slot].partitions[size_t(VolumePartition(slot, int(i), safe))].Protect(protect);
  }
  if (!all && notice_.empty() && CWineDriveLetters::Available()) {
    notice_ = "Not allowed to mount: the letters have the host disk's size.";
  }
  return all;
}

void CVirtualDrives::WithdrawVolumes(int slot, bool safe) {
  for (size_t i = 0; i < kSlots[slot].letters.size(); ++i) {
    drives_[slot].partitions[size_t(VolumePartition(slot, int(i), safe))].Withdraw();
  }
}

bool CVirtualDrives::LinkLetters(int slot) {
  const std::vector<char>& letters = kSlots[slot].letters;
  for (size_t i = 0; i < letters.size(); ++i) {
    if (!CWineDriveLetters::Link(letters[i], VolumeFolder(slot, int(i)))) return false;
  }
  return true;
}

void CVirtualDrives::UnlinkLetters(int slot) {
  for (char letter : kSlots[slot].letters) CWineDriveLetters::Unlink(letter);
}

bool CVirtualDrives::PlugIn(int slot) {
  problem_.clear();
  if (!Valid(slot)) return false;
  Held& d = drives_[slot];
  {
    CPDKLockGuard lock(&mutex_);
    if (d.plugged) return true;
    d.safeShown = d.drive->state().safePresented;
    PresentVolumes(slot, d.safeShown);
    if (!LinkLetters(slot)) {
      problem_ = CWineDriveLetters::Available() ? "The drive letters could not be made."
                                                : "Drive letters are made only under Wine.";
      UnlinkLetters(slot);
      WithdrawVolumes(slot, d.safeShown);
      return false;
    }
    if (!registration_.add(*d.drive, kSlots[slot].letters, port_)) {
      problem_ = "The drive's registry entries could not be written.";
    }
    d.plugged = true;
  }
  // Not under the lock: the bus talks to the drive, whose changes take it.
  try {
    bus_.plugIn(d.drive.get(), kSlots[slot].letters);
    return true;
  } catch (const std::exception& e) {
    problem_ = e.what();
  }
  CPDKLockGuard lock(&mutex_);
  d.plugged = false;
  registration_.remove(*d.drive, port_);
  UnlinkLetters(slot);
  WithdrawVolumes(slot, d.safeShown);
  return false;
}

bool CVirtualDrives::PullOut(int slot) {
  problem_.clear();
  if (!Valid(slot)) return false;
  Held& d = drives_[slot];
  {
    CPDKLockGuard lock(&mutex_);
    if (!d.plugged) return true;
    d.plugged = false;
  }
  bus_.unplug(d.drive.get());
  CPDKLockGuard lock(&mutex_);
  registration_.remove(*d.drive, port_);
  UnlinkLetters(slot);
  WithdrawVolumes(slot, d.safeShown);
  Save(slot);
  return true;
}

void CVirtualDrives::Follow(int slot) {
  Held& d = drives_[slot];
  if (!d.plugged) return;
  const size_t volumes = kSlots[slot].letters.size();
  const bool safe = d.drive->state().safePresented;
  if (safe != d.safeShown) {
    // Only the partitions that change go: the fixed disk's public one stays.
    for (size_t i = 0; i < volumes; ++i) {
      const emu::FlashPartition before = VolumePartition(slot, int(i), d.safeShown);
      if (before != VolumePartition(slot, int(i), safe)) d.partitions[size_t(before)].Withdraw();
    }
    d.safeShown = safe;
    PresentVolumes(slot, safe);
    LinkLetters(slot);
    Save(slot);
  }
  const bool protect = WriteProtected(slot);
  for (size_t i = 0; i < volumes; ++i) {
    const emu::FlashPartition partition = VolumePartition(slot, int(i), safe);
    d.partitions[size_t(partition)].Resize(PartitionBytes(slot, partition));
    d.partitions[size_t(partition)].Protect(protect);
  }
}

void CVirtualDrives::Save(int slot) {
  const Held& d = drives_[slot];
  try {
    emu::CDriveStateFile::saveDrive(d.folder + "\\" + kStateFile, *d.drive,
                                    d.folder + "\\" + kImageFile);
  } catch (const std::exception& e) {
    TraceError(__FILE__, __LINE__, e.what());
  }
}

void CVirtualDrives::SaveAll() {
  for (int slot = 0; slot < kSlotCount; ++slot) Save(slot);
}
