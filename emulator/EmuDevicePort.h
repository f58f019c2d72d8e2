// A device port that plays the Windows storage drivers: it opens emulated
// drives by volume or device path and decodes the very request blocks the SDK
// builds (pass-through direct, pass-through buffered, the 98 SE USB block),
// handing each CDB to an emulated drive. Every call is recorded so tests can
// check each header byte that reached the "driver".
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "DevicePort.h"
#include "PDKCriticalSection.h"

namespace emu {

class CEmulatedDrive;

// The volume control codes the storage driver itself answers (no buffers).
constexpr uint32_t kFsctlLockVolume = 0x00090018;
constexpr uint32_t kFsctlUnlockVolume = 0x0009001C;
constexpr uint32_t kFsctlDismountVolume = 0x00090020;

// One control() call as the driver decoded it. Fields the block kind does not
// carry stay 0; nothing but code/inLength/outLength is decoded when the input is
// too short for its header.
struct ControlRecord {
  uint32_t code = 0;
  uint32_t inLength = 0;
  uint32_t outLength = 0;
  bool succeeded = false;  // what control() returned
  std::string volume;      // the path the handle was opened on ("\\.\E:"); empty for a stale handle
  bool headerDecoded = false;
  // Pass-through header (both layouts).
  uint32_t length = 0;
  uint32_t pathId = 0;
  uint32_t targetId = 0;
  uint32_t lun = 0;
  uint32_t cdbLength = 0;  // also the 98 SE block's CDB length
  uint32_t senseInfoLength = 0;
  uint32_t dataIn = 0;              // also the 98 SE block's direction
  uint32_t dataTransferLength = 0;  // also the 98 SE block's data length
  uint32_t timeOutValue = 0;
  uint32_t senseInfoOffset = 0;
  uint64_t dataBufferOffset = 0;   // buffered layout only
  bool dataBufferPresent = false;  // direct layout and 98 SE block: a non-null data pointer
  // 98 SE block only.
  uint32_t reserved0 = 0;
  uint32_t reserved1 = 0;
  std::vector<uint8_t> cdb;  // cdbLength bytes (up to the block's CDB area)
  uint8_t scsiStatus = 0;    // the drive's status, when it was reached
};

class CEmuDevicePort : public pdk::IDevicePort {
 public:
  CEmuDevicePort() = default;
  CEmuDevicePort(const CEmuDevicePort&) = delete;
  CEmuDevicePort& operator=(const CEmuDevicePort&) = delete;

  // Drives stay owned by the caller and must outlive their attachment.
  // The volume path "\\.\E:" (letter in either case) reaches a drive attached by letter.
  void attach(char letter, CEmulatedDrive* drive);
  void detach(char letter);
  // Any exact path string, e.g. the 98 SE device path "\\.\USBDISK0".
  void attachPath(const std::string& path, CEmulatedDrive* drive);
  void detachPath(const std::string& path);
  // A busy volume refuses to open with a sharing violation.
  void setBusy(char letter, bool busy);
  void setPathBusy(const std::string& path, bool busy);
  // A refused volume fails FSCTL_LOCK_VOLUME, as Windows does while another
  // program has a file open on it.
  void setLockRefused(char letter, bool refused);
  // Whether some open handle holds the volume's lock.
  bool isLocked(char letter) const;

  pdk::PDKHandle open(const char* path, uint32_t* error) override;
  void close(pdk::PDKHandle handle) override;
  bool control(pdk::PDKHandle handle, uint32_t code, void* in, uint32_t inLength, void* out,
               uint32_t outLength, uint32_t* returned) override;
  // The letters that reach a drive, as the system would list its volumes; a
  // drive is removable as it was configured.
  std::vector<char> logicalDriveLetters() override;
  bool isRemovableDrive(char letter) override;
  // A routed letter whose drive answers READ CAPACITY: the system could mount it.
  bool isVolumeAccessible(char letter) override;
  // The names in the root directory of the FAT volume the letter shows: the
  // drive's n-th letter (ascending) is the n-th partition of the presented
  // disk, or the whole disk when it carries a boot sector at sector 0.
  std::vector<std::string> rootEntries(char letter) override;

  size_t openHandleCount() const;
  uint64_t openCount() const;                    // successful opens since construction
  uint64_t badCloseCount() const;                // close() of a handle that was not open
  std::vector<std::string> openedPaths() const;  // the last open() requests, in order
  std::vector<ControlRecord> controls() const;   // the last kControlLogCapacity calls
  void clearControls();

  static constexpr size_t kControlLogCapacity = 1024;  // also the capacity of openedPaths()

 private:
  struct Volume {
    CEmulatedDrive* drive = nullptr;
    bool busy = false;
    bool lockRefused = false;
    uintptr_t lockedBy = 0;  // the handle holding the lock, 0 for none
  };

  // Both the letter and the path forms live in one map; a letter is kept as "\\.\E:".
  static std::string letterKey(char letter);
  static std::string normalise(const char* path);
  CEmulatedDrive* driveFor(pdk::PDKHandle handle) const;
  bool controlVolume(pdk::PDKHandle handle, uint32_t code);

  bool controlDirect(CEmulatedDrive* drive, void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* returned, ControlRecord& rec);
  bool controlBuffered(CEmulatedDrive* drive, void* in, uint32_t inLength, void* out,
                       uint32_t outLength, uint32_t* returned, ControlRecord& rec);
  bool control98(CEmulatedDrive* drive, void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* returned, ControlRecord& rec);

  mutable CPDKCriticalSection mutex_;
  std::map<std::string, Volume> volumes_;
  std::map<uintptr_t, std::string> handles_;  // open handle → volume key
  uintptr_t nextHandle_ = 0x1000;
  uint64_t openCount_ = 0;
  uint64_t badCloses_ = 0;
  std::deque<std::string> openedPaths_;
  std::deque<ControlRecord> controls_;
};

}  // namespace emu
